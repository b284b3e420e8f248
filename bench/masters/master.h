#pragma once

#include <QString>

#include <memory>

namespace bench {

// A Modbus RTU master talking to slave 1 at 9600,n,8,1 on one serial device, otherwise with its
// library's default settings. Construction opens the device or throws std::runtime_error.
class Master {
public:
    virtual ~Master() = default;
    // Function 3; true when the reply arrived and was good.
    virtual bool readRegisters(int address, int count) = 0;
    // Function 6; true when the echo arrived and was good.
    virtual bool writeRegister(int address, int value) = 0;
};

std::unique_ptr<Master> makeOurMaster(const QString &device);
std::unique_ptr<Master> makeLibmodbusMaster(const QString &device);
std::unique_ptr<Master> makeQtMaster(const QString &device);

inline constexpr int slaveAddress = 1;
inline constexpr int baudRate = 9600;

} // namespace bench
