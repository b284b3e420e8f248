#include "master.h"

#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QSerialPort>
#include <QVariant>

#include <memory>
#include <stdexcept>

namespace bench {
namespace {

// QModbusRtuSerialClient works from the event loop; each call runs a local loop until the reply
// has finished, so the caller sees a blocking transaction like the other two.
class QtMaster : public Master {
public:
    explicit QtMaster(const QString &device)
    {
        client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, device);
        client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baudRate);
        client.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
        client.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        client.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
        if (!client.connectDevice() || client.state() != QModbusDevice::ConnectedState)
            throw std::runtime_error(("Qt cannot open " + device + ": " + client.errorString())
                                         .toStdString());
    }

    ~QtMaster() override { client.disconnectDevice(); }

    bool readRegisters(int address, int count) override
    {
        return finish(client.sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, quint16(count)),
            slaveAddress));
    }

    bool writeRegister(int address, int value) override
    {
        return finish(client.sendWriteRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, address, {quint16(value)}),
            slaveAddress));
    }

private:
    static bool finish(QModbusReply *sent)
    {
        const std::unique_ptr<QModbusReply> reply(sent);
        if (!reply)
            return false;
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply.get(), &QModbusReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return reply->error() == QModbusDevice::NoError;
    }

    QModbusRtuSerialClient client;
};

} // namespace

std::unique_ptr<Master> makeQtMaster(const QString &device)
{
    return std::make_unique<QtMaster>(device);
}

} // namespace bench
