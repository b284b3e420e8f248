#pragma once

#include <QString>

// Relay and all-on/all-off commands as the controller stores them: "password*command".
namespace alarmcfg {

// The stored text: password, "*" and the command; the command alone when the password is empty.
QString commandText(const QString &password, const QString &command);

struct StoredCommand {
    bool hasPassword; // the text contained a "*"
    QString password; // before the first "*"
    QString command;  // between the first and second "*", or to the end
};

// Splits a stored text up to its first NUL; a text without "*" is the command alone, with no
// password.
StoredCommand splitCommand(const QString &slotText);

} // namespace alarmcfg
