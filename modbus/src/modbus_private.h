#pragma once

#include "frame.h"
#include "modbus/modbus.h"

#include <optional>

namespace modbus_defaults {
constexpr qint32 baudRate = 9600;
constexpr qint32 commPort = 1;
constexpr qint32 dataBit = 8;
constexpr qint32 parity = 0;
constexpr qint32 stopBit = 1;
constexpr float respondTimeOutSeconds = 0.5f;
constexpr int bufferBytes = 1024;
} // namespace modbus_defaults

// Shared by the property/lifecycle half and the transaction half of the component.
struct modbus::Private {
    explicit Private(modbus *owner, std::unique_ptr<SerialPort> serialPort);

    void initComm();
    void showMessage(const QString &text) const;
    void notePortFailure(const SerialPortError &error);
    double timeOutMilliseconds() const;

    using ReadSignal = void (modbus::*)(qint16, qint16, qint16 &, qint16, QVector<qint16> &, qint16);
    using WriteSignal = void (modbus::*)(qint16, qint16, qint16 &, qint16 &, qint16 &);

    bool readRegisters(quint8 function, ReadSignal signal, quint8 slaveAddress,
                       qint16 startAddress, qint16 count);
    bool presetSingle(quint8 slaveAddress, qint16 registerAddress, qint16 presetData);
    bool presetMulti(quint8 slaveAddress, qint16 registerAddress, const QVector<qint16> &data,
                     qint16 count);
    bool admitRead();
    bool admitWrite();
    bool refuseAsBusy();

    // One transaction: send, wait, check. Returns the checked reply; a failure has been reported
    // (message or CommPortEventError) and recorded.
    std::optional<QByteArray> transact(const std::optional<QByteArray> &request,
                                       const modbus_frame::ReplyShape &shape);
    bool completeWrite(WriteSignal signal, const std::optional<QByteArray> &request,
                       quint8 slaveAddress, qint16 registerAddress, qint16 echoedSecondWord,
                       qint16 presetData);
    bool sendFrame(const QByteArray &frame);
    void failSend(const QByteArray &frame);
    void awaitQuietLine();
    enum class WaitOutcome { Complete, TimedOut, ParityError };
    WaitOutcome awaitLength(int expectedLength);
    struct Received {
        QByteArray bytes;   // everything taken from the port
        modbus_frame::Verdict verdict;
    };
    Received receiveReply(const modbus_frame::ReplyShape &shape);
    Received receiveReplyOrReportCutOff(const QByteArray &request, const modbus_frame::ReplyShape &shape);
    void endWithError(CommErrorCode code);
    bool finish(RequestOutcome outcome);
    void observe(const QByteArray &request, const QByteArray &reply,
                 const RequestOutcome &outcome) const;
    void setState(qint16 status, qint16 error);

    // The saved integer settings after "Interval", in the order they are written and read.
    struct IntegerKey {
        const char *key;
        qint32 Private::*member;
        qint32 defaultValue;
    };
    static const IntegerKey integerKeys[5];

    modbus *q;
    std::unique_ptr<SerialPort> port;
    qint32 baudRate = modbus_defaults::baudRate;
    qint32 commPort = modbus_defaults::commPort;
    QString devicePath;
    qint32 dataBit = modbus_defaults::dataBit;
    qint32 parity = modbus_defaults::parity;
    qint32 stopBit = modbus_defaults::stopBit;
    float respondTimeOutSeconds = modbus_defaults::respondTimeOutSeconds;
    qint16 commStatus = 0;
    qint16 commError = 0;
    // When the latest request failed, while its reply may still be on its way.
    std::optional<SerialPort::Clock::time_point> failedAt;
    RequestOutcome lastOutcome;
    MessageSink messageSink;
    TrafficObserver trafficObserver;
    QString portFailure; // why the port failed last, in Chinese
};
