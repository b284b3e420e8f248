#include "connection/wiring.h"

#include "connection/connect.h"
#include "connection/on_demand_read.h"
#include "connection/read_back_decoding.h"
#include "connection/relay_switching.h"
#include "connection/status_polling.h"
#include "window/form_main.h"

#include "modbus/modbus.h"

#include <QPushButton>

namespace alarmcfg {

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

} // namespace alarmcfg
