#pragma once

#include "model/setting_values.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <optional>
#include <vector>

// Everything a controller's configuration holds, for either model: what a read fills, a write
// sends and a configuration file carries. The window is one view of it.
namespace alarmcfg {

struct RelayConfig {
    QString open;  // commands without the password, as the window shows them
    QString close;
    QString openReply;
    QString closeReply;
    friend bool operator==(const RelayConfig &, const RelayConfig &) = default;
};

inline constexpr int allOnCommand = 0;
inline constexpr int allOffCommand = 1;

struct ControllerConfig {
    std::optional<QString> firmware; // "V2.3" as read with the status; none when not read
    QString password;
    std::vector<RelayConfig> relays;
    // All on, all off. None when not read (connecting leaves them out): a write then leaves the
    // controller's own.
    std::array<std::optional<QString>, 2> allCommands;
    // Up to the first NUL when read or opened; the window's buffer may also carry a NUL and what
    // follows it, which its write sends as they are.
    QStringList inputAlarmTexts;
    QStringList phones;          // numbers without "86"
    QStringList alarmTexts;      // high, low of channel 0, then of channel 1
    QVector<qint16> actionTimes; // one per relay
    QVector<qint16> limits;      // high, low of channel 0, then of channel 1
    QVector<qint16> calibration; // per channel
    QVector<qint16> fullScale;   // per analog channel; empty for a model without conversion
    QVector<int> rangeIndexes;   // per analog channel, in the range list; -1 for none chosen
    OptionBits options{};        // hold, phone alarm, answer; a model without options ignores them

    friend bool operator==(const ControllerConfig &, const ControllerConfig &) = default;
};

} // namespace alarmcfg
