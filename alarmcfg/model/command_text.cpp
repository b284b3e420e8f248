#include "command_text.h"

#include "register_text.h"

namespace alarmcfg {

namespace {
constexpr QChar separator = u'*';
}

QString commandText(const QString &password, const QString &command)
{
    return password.isEmpty() ? command : password + separator + command;
}

StoredCommand splitCommand(const QString &slotText)
{
    // What follows the first zero byte is an older, longer text's tail: its "*" is not ours.
    const QString text = untilFirstNul(slotText);
    const qsizetype first = text.indexOf(separator);
    if (first < 0)
        return {false, {}, text};
    const qsizetype second = text.indexOf(separator, first + 1);
    const qsizetype commandLength = second < 0 ? -1 : second - first - 1;
    return {true, text.left(first), text.mid(first + 1, commandLength)};
}

} // namespace alarmcfg
