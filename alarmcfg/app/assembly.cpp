#include "app/assembly.h"

#include "app/startup.h"
#include "connection/connect.h"
#include "connection/link.h"
#include "connection/on_demand_read.h"
#include "connection/port_choice.h"
#include "connection/read_back_decoding.h"
#include "connection/relay_switching.h"
#include "connection/status_polling.h"
#include "editing/di_alarm_texts.h"
#include "editing/factory_defaults.h"
#include "editing/phone_list.h"
#include "editing/write_parameters.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace alarmcfg {

namespace {

void connectConnectionHandlers(FormMain &form)
{
    FormMain *f = &form;
    QObject::connect(f->ui.cmdConnect, &QPushButton::clicked, f, [f] { cmdConnect_Click(*f); });
    for (int relay = 0; relay < int(f->ui.cmdRelay.size()); ++relay)
        QObject::connect(f->ui.cmdRelay[relay], &QPushButton::clicked, f,
                         [f, relay] { cmdRelay_Click(*f, relay); });
    QObject::connect(f->ui.cmdRelayRead, &QPushButton::clicked, f, [f] { cmdRelayRead_Click(*f); });
    QObject::connect(f->Timer1, &PeriodicTimer::tick, f, [f] { Timer1_Tick(*f); });
    QObject::connect(f->Timer2, &PeriodicTimer::tick, f, [f] { Timer2_Tick(*f); });
    watchPortChoice(form);
    // Direct connections: the component raises its events inside the request call.
    QObject::connect(f->modbus1, &modbus::FC03ReadHoldingRegisterRespond4X, f,
                     [f](qint16, qint16, qint16 &, qint16 startAddress, QVector<qint16> &data,
                         qint16 count) { FC03ReadHoldingRegisterRespond4X(*f, startAddress, data, count); },
                     Qt::DirectConnection);
    QObject::connect(f->modbus1, &modbus::FC06PresetSingleRegisterRespond4X, f,
                     [f](qint16, qint16, qint16 &, qint16 &, qint16 &) {
                         FC06PresetSingleRegisterRespond4X(*f);
                     },
                     Qt::DirectConnection);
}

void connectEditingHandlers(FormMain &form)
{
    FormMain *f = &form;
    QObject::connect(f->ui.cmdAddPhone, &QPushButton::clicked, f, [f] { cmdAddPhone_Click(*f); });
    QObject::connect(f->ui.cmdDelPhone, &QPushButton::clicked, f, [f] { cmdDelPhone_Click(*f); });
    QObject::connect(f->ui.cmbDISel, &QComboBox::currentIndexChanged, f, [f] { cmbDISel_Click(*f); });
    QObject::connect(f->ui.cmbDISel->lineEdit(), &QLineEdit::editingFinished, f,
                     [f] { cmbDISel_EditingFinished(*f); });
    QObject::connect(f->ui.txtDIAlarm, &QPlainTextEdit::textChanged, f,
                     [f] { txtDIAlarm_Change(*f); });
    QObject::connect(f->ui.cmdRelayWrite, &QPushButton::clicked, f, [f] { cmdRelayWrite_Click(*f); });
    QObject::connect(f->ui.Command1, &QPushButton::clicked, f, [f] { Command1_Click(*f); });
}

// A refusal ends the program: nothing more is sent and the device is released.
void setProgramEnd(FormMain &form)
{
    form.setProgramEnd([&form] {
        releaseLink(form);
        QCoreApplication::exit(0);
    });
}

} // namespace

void assembleWindow(FormMain &form)
{
    setProgramEnd(form);
    connectConnectionHandlers(form);
    connectEditingHandlers(form);
    FormMain_Load(form);
    showLiveValuesCurrent(form, false); // nothing read yet
}

} // namespace alarmcfg
