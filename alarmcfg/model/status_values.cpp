#include "status_values.h"

#include <array>
#include <stdexcept>

namespace alarmcfg {

namespace {

constexpr int minimumSupportedMajor = 2;
constexpr std::array<quint8, 8> bitValues{1, 2, 4, 8, 16, 32, 64, 128};
const std::array<QString, 2> sensorUnits{QStringLiteral("^C"), QStringLiteral("%")};

} // namespace

FirmwareVersion firmwareVersion(qint16 value)
{
    // Arithmetic shift and mask give floor division and a non-negative remainder.
    return {value >> 4, value & 0xF};
}

QString firmwareCaption(FirmwareVersion version)
{
    return QStringLiteral("V%1.%2").arg(version.major).arg(version.minor);
}

bool isFirmwareSupported(FirmwareVersion version)
{
    return version.major >= minimumSupportedMajor;
}

quint8 GetNumTbl(int index)
{
    if (index < 0 || index >= int(bitValues.size()))
        throw std::out_of_range("bit index outside 0..7");
    return bitValues[std::size_t(index)];
}

QString tenthsText(qint16 tenths, const QString &unit)
{
    const int magnitude = tenths < 0 ? -int(tenths) : int(tenths);
    QString text = tenths < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / 10);
    if (magnitude % 10 != 0)
        text += u'.' + QString::number(magnitude % 10);
    return text + unit;
}

QString sensorValueText(SensorDisplay display, int channel, qint16 value)
{
    if (display == SensorDisplay::Plain)
        return QString::number(value);
    return tenthsText(value, sensorUnits.at(std::size_t(channel)));
}

} // namespace alarmcfg
