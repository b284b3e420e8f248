#pragma once

#include "fake_serial_port.h"
#include "frames.h"
#include "message_recorder.h"
#include "modbus/modbus.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <functional>

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// One raised event as the host saw it, with the properties read inside the handler.
struct RaisedEvent {
    QString name;
    QList<int> args;            // every argument except RegisterData, in order
    QVector<qint16> registerData;
    int statusInside = 0;
    int errorInside = 0;
};

// One transaction as the traffic observer saw it.
struct Traffic {
    QByteArray request;
    QByteArray reply;
    RequestOutcome outcome;
};

// A component on an opened fake port, recording every event, message and transaction.
class ModbusRig {
public:
    ModbusRig() : port(new FakeSerialPort), component(std::unique_ptr<SerialPort>(port)), messages(component)
    {
        using M = modbus;
        QObject::connect(&component, &M::FC03ReadHoldingRegisterRespond4X, [this](auto... a) { onRead("FC03", a...); });
        QObject::connect(&component, &M::FC04ReadInputRegisterRespond3X, [this](auto... a) { onRead("FC04", a...); });
        QObject::connect(&component, &M::FC06PresetSingleRegisterRespond4X, [this](auto... a) { onWrite("FC06", a...); });
        QObject::connect(&component, &M::FC16PresetMultiRegisterRespond4X, [this](auto... a) { onWrite("FC16", a...); });
        QObject::connect(&component, &M::CommPortEventError, [this](qint16 status, qint16 error) {
            record({"Error", {status, error}, {}});
        });
        component.setTrafficObserver([this](const QByteArray &request, const QByteArray &reply,
                                            const RequestOutcome &outcome) {
            traffic.append({request, reply, outcome});
        });
        component.OpenPort();
    }

    FakeSerialPort *port;   // owned by the component
    modbus component;
    MessageRecorder messages;
    QList<RaisedEvent> events;
    QList<Traffic> traffic;
    std::function<void()> insideEvent;   // runs inside every handler, after recording

private:
    void onRead(const char *name, qint16 status, qint16 error, qint16 &slave, qint16 start,
                QVector<qint16> &data, qint16 count)
    {
        record({name, {status, error, slave, start, count}, data});
    }
    void onWrite(const char *name, qint16 status, qint16 error, qint16 &slave, qint16 &address,
                 qint16 &value)
    {
        record({name, {status, error, slave, address, value}, {}});
    }
    void record(RaisedEvent event)
    {
        event.statusInside = component.CommStatus();
        event.errorInside = component.CommError();
        events.append(event);
        if (insideEvent)
            insideEvent();
    }
};
