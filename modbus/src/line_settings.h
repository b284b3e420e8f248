#pragma once

#include <QString>

// The line settings a settings text such as "9600,n,8,1" asks for.
struct LineSettings {
    int speed = 9600;
    char parity = 'n';   // 'n', 'o' or 'e'
    int dataBits = 8;
    int stopBits = 1;
};

// Parses and checks the form of a settings text: a speed, parity n/o/e in either case, 5 to 8 data
// bits, 1 or 2 stop bits. Throws SerialPortError (reason SettingsRefused) for anything else,
// including an empty text. Whether the device runs at the speed is the backend's to find out.
LineSettings parseLineSettings(const QString &text);

// The speeds of the component's BaudRate list and the common standard ones.
bool isListedSpeed(int speed);
