#pragma once

#include <QtGlobal>

// The supported values of the component's port settings. The properties themselves are plain
// 32-bit numbers and accept anything; these name the values a port understands.

enum class BaudRate : qint32 {
    gps__2400 = 2400,
    gps__4800 = 4800,
    gps__9600 = 9600,
    gps__14400 = 14400,
    gps__19200 = 19200,
    gps__28800 = 28800,
    gps__38400 = 38400,
    gps__56000 = 56000,
    gps__128000 = 128000,
    gps__256000 = 256000,
};

enum class CommPort : qint32 {
    COM1 = 1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9, COM10,
};

enum class DataBit : qint32 { DataBit_7 = 7, DataBit_8 = 8 };

enum class Parity : qint32 { None = 0, Odd = 1, Even = 2 };

enum class StopBit : qint32 { stopbit_1 = 1, StopBit_2 = 2 };
