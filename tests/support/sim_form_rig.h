#pragma once

#include "simulator.h"
#include "app/assembly.h"
#include "window/form_main.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <memory>

// Arguments for alarmsim as `edition` with its live values frozen, so that only the program's
// requests change its registers.
inline QStringList simArguments(const QString &edition, const QStringList &extra = {})
{
    return QStringList{"--static", "--edition", edition} + extra;
}

// A loaded FormMain of one edition on the real serial backend, talking to a started alarmsim
// through port 1 (the first entry of cmbComSel). Messages and program ends are recorded instead
// of shown or performed. Link alarmcfg_ui to use it.
struct SimFormRig {
    static constexpr int portNumber = 1;

    // `simulatorArguments` go to alarmsim as they are; add "--edition th" for the other model.
    SimFormRig(const alarmcfg::Edition &edition, const QStringList &simulatorArguments)
    {
        sim.setPortNumber(portNumber);
        started = sim.start(simulatorArguments);
        form = std::make_unique<alarmcfg::FormMain>(edition);
        alarmcfg::assembleWindow(*form);
        form->setMessageSink([this](const QString &text) { messages.append(text); });
        form->setProgramEnd([this] { ++programEnds; });
    }

    // Whether alarmsim runs; see sim.errorText() when not.
    bool ready() const { return started; }

    // Presses cmdConnect (connect or disconnect, by the form's state).
    void connect() { QTest::mouseClick(form->ui.cmdConnect, Qt::LeftButton); }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    template <class W>
    W *widget(const QString &name) const
    {
        return form->findChild<W *>(name);
    }

    // The requests the controller has seen so far, in order.
    QList<SimulatorRequest> requests() const { return sim.requests(); }

    Simulator sim;
    std::unique_ptr<alarmcfg::FormMain> form;
    QStringList messages;
    int programEnds = 0;

private:
    bool started = false;
};
