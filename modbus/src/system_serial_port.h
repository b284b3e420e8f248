#pragma once

#include "modbus/serial_port.h"

#include <memory>

// The serial port of the system the component is built for: the build compiles one backend,
// and that backend defines this.
std::unique_ptr<SerialPort> makeSystemSerialPort();
