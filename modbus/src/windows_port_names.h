#pragma once

#include "modbus/port_directory.h"

#include <QList>

// The serial ports Windows knows (device class Ports), each as "COMn" with the name Device Manager
// shows ("USB Serial Port (COM12)"), in port number order. Empty when the system lists none, as
// under Wine.
QList<SerialDevice> windowsSerialPorts();
