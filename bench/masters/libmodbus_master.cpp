#include "master.h"

#include <modbus.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace bench {
namespace {

class LibmodbusMaster : public Master {
public:
    explicit LibmodbusMaster(const QString &device)
        : context(modbus_new_rtu(device.toLocal8Bit().constData(), baudRate, 'N', 8, 1))
    {
        if (!context)
            throw std::runtime_error("libmodbus: no RTU context");
        modbus_set_slave(context, slaveAddress);
        if (modbus_connect(context) != 0) {
            const std::string why = modbus_strerror(errno);
            modbus_free(context);
            throw std::runtime_error("libmodbus cannot open " + device.toStdString() + ": " + why);
        }
    }

    ~LibmodbusMaster() override
    {
        modbus_close(context);
        modbus_free(context);
    }

    LibmodbusMaster(const LibmodbusMaster &) = delete;
    LibmodbusMaster &operator=(const LibmodbusMaster &) = delete;

    bool readRegisters(int address, int count) override
    {
        uint16_t values[MODBUS_MAX_READ_REGISTERS];
        return modbus_read_registers(context, address, count, values) == count;
    }

    bool writeRegister(int address, int value) override
    {
        return modbus_write_register(context, address, uint16_t(value)) == 1;
    }

private:
    modbus_t *context;
};

} // namespace

std::unique_ptr<Master> makeLibmodbusMaster(const QString &device)
{
    return std::make_unique<LibmodbusMaster>(device);
}

} // namespace bench
