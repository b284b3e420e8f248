#pragma once

#include <QString>

// A stand-in for "/" with serial devices, for PortDirectory. Adds one entry under `root`:
// "dev/NAME" a device node, "by-id/LINK>NAME" a udev link to it, "type/NAME=N" the UART type
// sysfs reports, "usb/NAME=MAKER|PRODUCT|SERIAL|VID|PID" the USB device above the node.
// False when the entry cannot be made.
bool addToTree(const QString &root, const QString &entry);
