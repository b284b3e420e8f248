#include "line_settings.h"

#include "modbus/serial_port.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

// The BaudRate list (2400 to 256000) and the standard speeds between and around it.
constexpr int supportedSpeeds[] = {1200,  2400,  4800,   9600,   14400,  19200,  28800,
                                   38400, 56000, 57600, 115200, 128000, 230400, 256000};

[[noreturn]] void refuse(const QString &what)
{
    throw SerialPortError(what.toStdString(), PortFailure::SettingsRefused);
}

int settingsNumber(const QString &field, const QString &text)
{
    bool ok = false;
    const int number = field.toInt(&ok);
    if (!ok)
        refuse(QStringLiteral("不支持的串口设置 \"%1\"").arg(text));
    return number;
}

} // namespace

bool isListedSpeed(int speed)
{
    return std::find(std::begin(supportedSpeeds), std::end(supportedSpeeds), speed) !=
           std::end(supportedSpeeds);
}

LineSettings parseLineSettings(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4 || fields[1].size() != 1)
        refuse(QStringLiteral("不支持的串口设置 \"%1\"").arg(text));
    LineSettings settings;
    settings.speed = settingsNumber(fields[0], text);
    settings.parity = fields[1].toLower().at(0).toLatin1();
    settings.dataBits = settingsNumber(fields[2], text);
    settings.stopBits = settingsNumber(fields[3], text);
    const bool valid = settings.speed > 0
                       && (settings.parity == 'n' || settings.parity == 'o' || settings.parity == 'e')
                       && settings.dataBits >= 5 && settings.dataBits <= 8
                       && (settings.stopBits == 1 || settings.stopBits == 2);
    if (!valid)
        refuse(QStringLiteral("不支持的串口设置 \"%1\"").arg(text));
    return settings;
}
