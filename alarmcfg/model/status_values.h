#pragma once

#include "model/sensor_display.h"

#include <QString>
#include <QtGlobal>

// The status block (registers 0 to 6): measured values, bit values, firmware version.
namespace alarmcfg {

struct FirmwareVersion {
    int major;
    int minor;
};

// Register 6 split with floor division: major = value div 16 rounded down, minor = 0..15, so that
// major * 16 + minor is the signed register value (0x8000 gives V-2048.0, 0xFFFF gives V-1.15).
FirmwareVersion firmwareVersion(qint16 value);

// "V" major "." minor, as lblVertion shows it.
QString firmwareCaption(FirmwareVersion version);

// Controllers below major version 2 are too old for the analog program.
bool isFirmwareSupported(FirmwareVersion version);

// Bit value of bit index 0..7 (1, 2, 4, ..., 128); throws std::out_of_range for any other index.
quint8 GetNumTbl(int index);

// A measured value as txtAI shows it: signed decimal, or for the temperature/humidity model
// tenths of a unit in shortest form with "^C" (channel 0) or "%" (channel 1).
QString sensorValueText(SensorDisplay display, int channel, qint16 value);

// Tenths in their shortest decimal form followed by the unit: 235 -> "23.5^C", -5 -> "-0.5^C".
QString tenthsText(qint16 tenths, const QString &unit);

} // namespace alarmcfg
