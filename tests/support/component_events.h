#pragma once

#include "message_recorder.h"
#include "modbus/modbus.h"

#include <QList>
#include <QVector>

// A component with what it reported: the registers of the latest read reply, every error event
// and every message.
struct ComponentEvents {
    ComponentEvents()
    {
        QObject::connect(&component, &modbus::FC03ReadHoldingRegisterRespond4X,
                         [this](qint16, qint16, qint16 &, qint16, QVector<qint16> &data, qint16) {
                             registers = data;
                         });
        QObject::connect(&component, &modbus::CommPortEventError,
                         [this](qint16, qint16 error) { errors.append(error); });
    }
    ComponentEvents(const ComponentEvents &) = delete;
    ComponentEvents &operator=(const ComponentEvents &) = delete;

    modbus component;
    MessageRecorder messages{component};
    QVector<qint16> registers;
    QList<int> errors;
};
