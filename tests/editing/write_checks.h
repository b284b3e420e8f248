#pragma once

#include "packed_text.h"
#include "sim_form_rig.h"

#include "modbus/modbus.h"

#include <QTest>

#include <optional>

// Shared by the write and factory-default tests: a window connected to alarmsim and what the
// controller saw, with texts packed here independently of the program's own encoder.

inline QStringList simulatorArguments(const alarmcfg::Edition &edition)
{
    if (&edition == &alarmcfg::temperatureHumidityEdition())
        return {"--static", "--edition", "th"};
    return {"--static"};
}

// A window connected to alarmsim. Only the requests after the connection's read-back count.
struct WriteRig : SimFormRig {
    explicit WriteRig(const alarmcfg::Edition &edition, const QStringList &extraArguments = {})
        : SimFormRig(edition, simulatorArguments(edition) + extraArguments)
    {
    }

    // Presses cmdConnect; true once the controller answered the probe and was read back.
    bool open()
    {
        if (!ready())
            return false;
        connect();
        afterConnect = sim.requests().size();
        return form->IsConnected;
    }

    // For a controller that never answers: the port is open and the window counts as connected.
    bool openSilent()
    {
        if (!ready())
            return false;
        form->modbus1->setCommPort(portNumber);
        form->IsConnected = form->modbus1->OpenPort();
        afterConnect = sim.requests().size();
        return form->IsConnected;
    }

    QList<SimulatorRequest> writes() const { return sim.requests().mid(afterConnect); }

    // The written request starting at `address` (the last one, should there be several).
    std::optional<SimulatorRequest> requestAt(int address) const
    {
        const QList<SimulatorRequest> all = writes();
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            if (it->addr == address)
                return *it;
        return std::nullopt;
    }

    QVector<qint16> imageAt(int address, int count) const { return sim.registers().mid(address, count); }

    qsizetype afterConnect = 0;
};
