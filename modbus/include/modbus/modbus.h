#pragma once

#include "modbus/comm_error.h"
#include "modbus/export.h"
#include "modbus/property_bag.h"
#include "modbus/serial_port.h"
#include "modbus/settings.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <functional>
#include <memory>

// Modbus RTU master on one serial port. Each request method is one blocking transaction:
// refuse when busy, send the frame, wait for the fixed-length reply, check it, raise exactly one
// event (synchronously, inside the call) and return whether a good reply arrived.
// After a time-out or a rejected reply, the next request is sent only once the failed one's reply
// can no longer arrive inside it (one RespondTimeOut after the failure, on a quiet line); what
// arrives meanwhile is discarded.
//
// Argument errors reach the caller as exceptions and send nothing: std::overflow_error for a
// negative address or count or a byte count that no longer fits, std::out_of_range for an array
// that is too short. A port that fails while a reply is awaited ends the call with
// SerialPortError; CommStatus then stays 1000 until ClosePort.
class MODBUS_EXPORT modbus : public QObject {
    Q_OBJECT
    Q_PROPERTY(int StopBit READ StopBit WRITE setStopBit)
    Q_PROPERTY(qint16 RespondTimeOut READ RespondTimeOut WRITE setRespondTimeOut)
    Q_PROPERTY(int Parity READ Parity WRITE setParity)
    Q_PROPERTY(int DataBit READ DataBit WRITE setDataBit)
    Q_PROPERTY(qint16 CommStatus READ CommStatus WRITE setCommStatus)
    Q_PROPERTY(qint16 CommError READ CommError WRITE setCommError)
    Q_PROPERTY(int CommPort READ CommPort WRITE setCommPort)
    Q_PROPERTY(int BaudRate READ BaudRate WRITE setBaudRate)

public:
    // Shows one of the component's messages; the default is a modal message box with one OK
    // button. Hosts and tests replace it.
    using MessageSink = std::function<void(const QString &text)>;
    // Sees every request that was built, once its outcome is known and before its event: the
    // frame (sent or not), the reply bytes the check saw (empty after a time-out or parity error)
    // and the outcome. Unset, it costs nothing.
    using TrafficObserver = std::function<void(const QByteArray &request, const QByteArray &reply,
                                               const RequestOutcome &outcome)>;

    static inline const QString busyMessage = QStringLiteral("串口忙请稍候…………");
    static inline const QString sendErrorMessage =
        QStringLiteral("发送错误……可能由于端口未打开或者端口被占用");
    static inline const QString portErrorMessage = QStringLiteral("串口错误");

    // With the POSIX serial port backend.
    explicit modbus(QObject *parent = nullptr);
    // With a port of the caller's choice (tests, other backends).
    explicit modbus(std::unique_ptr<SerialPort> port, QObject *parent = nullptr);
    ~modbus() override;

    int StopBit() const;
    void setStopBit(int value);
    qint16 RespondTimeOut() const;
    void setRespondTimeOut(qint16 milliseconds);
    int Parity() const;
    void setParity(int value);
    int DataBit() const;
    void setDataBit(int value);
    qint16 CommStatus() const;
    void setCommStatus(qint16 ignored);
    qint16 CommError() const;
    void setCommError(qint16 ignored);
    int CommPort() const;
    void setCommPort(int value);
    int BaudRate() const;
    void setBaudRate(int value);

    // A device OpenPort opens instead of port CommPort, such as "/dev/ttyUSB0"; empty (the
    // default) opens port CommPort. Not a property and not saved: hosts that know only port
    // numbers never meet it.
    QString devicePath() const;
    void setDevicePath(const QString &path);

    Q_INVOKABLE bool OpenPort();
    Q_INVOKABLE void ClosePort();

    Q_INVOKABLE bool ConvertIntegerTobytes(QVector<qint16> &int_data, QVector<quint8> &byte_data,
                                           qint16 &length);
    Q_INVOKABLE bool ConvertBytesToIntegers(QVector<qint16> &int_data, QVector<quint8> &byte_data,
                                            qint16 &length);

    Q_INVOKABLE bool FC03_ReadHoldingRegister_4X(quint8 slaveAddress, qint16 startAddress,
                                                 qint16 RegisterCount);
    Q_INVOKABLE bool FC04_ReadInputRegister_3X(quint8 slaveAddress, qint16 startAddress,
                                               qint16 RegisterCount);
    Q_INVOKABLE bool FC06_PresetSingleRegister_4X(quint8 slaveAddress, qint16 RegisterAddress,
                                                  qint16 PresetData);
    Q_INVOKABLE bool FC16_PresetMultiRegister_4X(quint8 slaveAddress, qint16 RegisterAddress,
                                                 const QVector<qint16> &RegisterData,
                                                 qint16 RegisterCount);

    // The six saved settings, in their order: "Interval", "commPort", "dataBit", "baudRate",
    // "parity", "stopBit". Restoring only stores; it does not touch the port.
    void saveProperties(PropertyBag &bag) const;
    void restoreProperties(const PropertyBag &bag);

    void setMessageSink(MessageSink sink);
    void setTrafficObserver(TrafficObserver observer);

    // How the latest request call ended (a call refused for its arguments leaves it unchanged).
    // After a call made inside an event, it is that call's; the outer call sets its own on return.
    RequestOutcome lastRequestOutcome() const;

    // Why the port failed at the latest failed OpenPort or send, in Chinese and naming the device;
    // OpenPort shows it under "串口错误", and it is also written to standard error.
    QString lastPortFailure() const;

    // The settings text OpenPort hands to the port: "9600,n,8,1"; empty for an unknown parity.
    QString settingsText() const;

signals:
    void FC03ReadHoldingRegisterRespond4X(qint16 CommStatus, qint16 CommError,
                                          qint16 &slaveAddress, qint16 startAddress,
                                          QVector<qint16> &RegisterData, qint16 RegisterCount);
    void FC04ReadInputRegisterRespond3X(qint16 CommStatus, qint16 CommError,
                                        qint16 &slaveAddress, qint16 startAddress,
                                        QVector<qint16> &RegisterData, qint16 RegisterCount);
    void FC06PresetSingleRegisterRespond4X(qint16 CommStatus, qint16 CommError,
                                           qint16 &slaveAddress, qint16 &startAddress,
                                           qint16 &PresetData);
    void FC16PresetMultiRegisterRespond4X(qint16 CommStatus, qint16 CommError,
                                          qint16 &slaveAddress, qint16 &startAddress,
                                          qint16 &PresetData);
    void CommPortEventError(qint16 CommStatus, qint16 CommError);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// CRC-16/MODBUS of data[0..n-1] as {high, low}; a count of 0 or less gives {0xFF, 0xFF}.
// On the wire the low byte goes first.
namespace CrcCheck {
std::array<quint8, 2> GetCrc16(const quint8 *data, int n);
std::array<quint8, 2> GetCrc16(const QByteArray &data, int n);
}
