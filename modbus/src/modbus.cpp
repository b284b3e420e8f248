#include "modbus_private.h"

#include "message_box.h"
#include "modbus/conversion.h"
#include "rounding.h"
#include "switching_serial_port.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

QString parityLetter(qint32 parity)
{
    switch (parity) {
    case 0: return QStringLiteral("n");
    case 1: return QStringLiteral("o");
    case 2: return QStringLiteral("e");
    default: return {};
    }
}

const QString intervalKey = QStringLiteral("Interval");

double millisecondsOf(float seconds)
{
    return modbus_detail::roundHalfEven(double(seconds) * 1000.0);
}

bool fitsRespondTimeOut(float seconds)
{
    const double ms = millisecondsOf(seconds);
    return std::isfinite(ms) && ms >= std::numeric_limits<qint16>::min()
           && ms <= std::numeric_limits<qint16>::max();
}

// A stored value that is not a time-out the property can express is taken as missing.
float restoredSeconds(const QVariant &value)
{
    bool ok = false;
    const float seconds = value.toFloat(&ok);
    return ok && fitsRespondTimeOut(seconds) ? seconds : modbus_defaults::respondTimeOutSeconds;
}

qint32 restoredInteger(const QVariant &value, qint32 defaultValue)
{
    bool ok = false;
    const qint32 number = value.toInt(&ok);
    return ok ? number : defaultValue;
}

} // namespace

const modbus::Private::IntegerKey modbus::Private::integerKeys[] = {
    {"commPort", &modbus::Private::commPort, modbus_defaults::commPort},
    {"dataBit", &modbus::Private::dataBit, modbus_defaults::dataBit},
    {"baudRate", &modbus::Private::baudRate, modbus_defaults::baudRate},
    {"parity", &modbus::Private::parity, modbus_defaults::parity},
    {"stopBit", &modbus::Private::stopBit, modbus_defaults::stopBit},
};

modbus::Private::Private(modbus *owner, std::unique_ptr<SerialPort> serialPort)
    : q(owner), port(std::move(serialPort)), messageSink(modbus_detail::showMessageBox)
{
}

void modbus::Private::initComm()
{
    port->setBufferSizes(modbus_defaults::bufferBytes, modbus_defaults::bufferBytes);
    port->discardInput();
}

void modbus::Private::showMessage(const QString &text) const
{
    messageSink(text);
}

// The reason also goes to standard error, where it outlives the message box.
void modbus::Private::notePortFailure(const SerialPortError &error)
{
    portFailure = QString::fromUtf8(error.what());
    std::fprintf(stderr, "%s\n", qUtf8Printable(portFailure));
}

double modbus::Private::timeOutMilliseconds() const
{
    return millisecondsOf(respondTimeOutSeconds);
}

modbus::modbus(QObject *parent) : modbus(makeComponentSerialPort(), parent) {}

modbus::modbus(std::unique_ptr<SerialPort> port, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(this, std::move(port)))
{
    d->initComm();
}

modbus::~modbus() = default;

int modbus::StopBit() const { return d->stopBit; }
void modbus::setStopBit(int value) { d->stopBit = value; }
int modbus::Parity() const { return d->parity; }
void modbus::setParity(int value) { d->parity = value; }
int modbus::DataBit() const { return d->dataBit; }
void modbus::setDataBit(int value) { d->dataBit = value; }
int modbus::CommPort() const { return d->commPort; }
void modbus::setCommPort(int value) { d->commPort = value; }
QString modbus::devicePath() const { return d->devicePath; }
void modbus::setDevicePath(const QString &path) { d->devicePath = path; }
int modbus::BaudRate() const { return d->baudRate; }
void modbus::setBaudRate(int value) { d->baudRate = value; }
qint16 modbus::CommStatus() const { return d->commStatus; }
void modbus::setCommStatus(qint16) {}
qint16 modbus::CommError() const { return d->commError; }
void modbus::setCommError(qint16) {}

qint16 modbus::RespondTimeOut() const
{
    return qint16(d->timeOutMilliseconds());
}

void modbus::setRespondTimeOut(qint16 milliseconds)
{
    // Multiplied in double and narrowed once: 1234 is saved as 1.234f, not 1234.0f * 0.001f.
    d->respondTimeOutSeconds = float(double(milliseconds) * 0.001);
}

QString modbus::settingsText() const
{
    const QString letter = parityLetter(d->parity);
    if (letter.isEmpty())
        return {};
    return QStringLiteral("%1,%2,%3,%4").arg(d->baudRate).arg(letter).arg(d->dataBit).arg(d->stopBit);
}

bool modbus::OpenPort()
{
    try {
        d->port->setSettings(settingsText());
        if (d->devicePath.isEmpty())
            d->port->setPortNumber(d->commPort);
        else
            d->port->setDevicePath(d->devicePath);
        if (!d->port->isOpen())
            d->port->open();
        return true;
    } catch (const SerialPortError &e) {
        d->commStatus = 0;
        d->notePortFailure(e);
        d->showMessage(portErrorMessage + QLatin1Char('\n') + d->portFailure);
        return false;
    }
}

void modbus::ClosePort()
{
    if (d->port->isOpen())
        d->port->close();
    d->commStatus = 0;
}

bool modbus::ConvertIntegerTobytes(QVector<qint16> &int_data, QVector<quint8> &byte_data,
                                   qint16 &length)
{
    RegisterBytes::integersToBytes(int_data, byte_data, length);
    return true;
}

bool modbus::ConvertBytesToIntegers(QVector<qint16> &int_data, QVector<quint8> &byte_data,
                                    qint16 &length)
{
    RegisterBytes::bytesToIntegers(int_data, byte_data, length);
    return true;
}

void modbus::saveProperties(PropertyBag &bag) const
{
    bag.write(intervalKey, d->respondTimeOutSeconds, modbus_defaults::respondTimeOutSeconds);
    for (const Private::IntegerKey &key : Private::integerKeys)
        bag.write(QLatin1String(key.key), (*d).*key.member, key.defaultValue);
}

void modbus::restoreProperties(const PropertyBag &bag)
{
    d->respondTimeOutSeconds =
        restoredSeconds(bag.read(intervalKey, modbus_defaults::respondTimeOutSeconds));
    for (const Private::IntegerKey &key : Private::integerKeys)
        (*d).*key.member =
            restoredInteger(bag.read(QLatin1String(key.key), key.defaultValue), key.defaultValue);
}

QString modbus::lastPortFailure() const
{
    return d->portFailure;
}

void modbus::setMessageSink(MessageSink sink)
{
    d->messageSink = sink ? std::move(sink) : MessageSink(modbus_detail::showMessageBox);
}
