#include "master.h"

#include <modbus/modbus.h>

#include <QStringList>

#include <stdexcept>

namespace bench {
namespace {

// Port number whose device the component finds in MODBUS_COM<n>.
constexpr int benchPort = 1;

class OurMaster : public Master {
public:
    explicit OurMaster(const QString &device)
    {
        qputenv("MODBUS_COM1", device.toLocal8Bit());
        component.setMessageSink([this](const QString &text) { messages << text; });
        component.setCommPort(benchPort);
        component.setBaudRate(baudRate);
        if (!component.OpenPort())
            throw std::runtime_error(("our component cannot open " + device).toStdString());
    }

    bool readRegisters(int address, int count) override
    {
        return component.FC03_ReadHoldingRegister_4X(slaveAddress, qint16(address), qint16(count));
    }

    bool writeRegister(int address, int value) override
    {
        return component.FC06_PresetSingleRegister_4X(slaveAddress, qint16(address), qint16(value));
    }

private:
    modbus component;
    QStringList messages;
};

} // namespace

std::unique_ptr<Master> makeOurMaster(const QString &device)
{
    return std::make_unique<OurMaster>(device);
}

} // namespace bench
