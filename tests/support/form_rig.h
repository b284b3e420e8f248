#pragma once

#include "fake_serial_port.h"
#include "app/assembly.h"
#include "window/form_main.h"

#include <QStringList>

#include <memory>

// A loaded FormMain of one edition on a scripted port, recording every message it would show.
// Link alarmcfg_ui to use it.
struct FormRig {
    explicit FormRig(const alarmcfg::Edition &edition)
    {
        auto ownedPort = std::make_unique<FakeSerialPort>();
        port = ownedPort.get();
        form = std::make_unique<alarmcfg::FormMain>(edition, std::move(ownedPort));
        alarmcfg::assembleWindow(*form);
        form->setMessageSink([this](const QString &text) { messages.append(text); });
    }

    template <class W>
    W *widget(const QString &name) const
    {
        return form->findChild<W *>(name);
    }

    FakeSerialPort *port = nullptr; // owned by the form's modbus1
    std::unique_ptr<alarmcfg::FormMain> form;
    QStringList messages;
};
