#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// Texts in holding registers: GBK bytes, two per register, high half first.
namespace alarmcfg {

// GBK bytes of a text; a character GBK cannot encode becomes one "?" byte.
QByteArray toGbk(const QString &text);

// True when every character of the text has a GBK encoding (nothing would become "?").
bool isGbkEncodable(const QString &text);

// Bytes the text takes in GBK: the measure of the 20-byte command and 40-byte slot limits.
int gbkByteLength(const QString &text);

// Registers that hold the text: odd byte counts get one zero pad byte; an empty text needs none.
// Throws std::length_error for a text of more than 32766 bytes, which no request can carry.
QVector<qint16> textToRegisters(const QString &text);

// The text of registers read from a slot: their bytes and one appended zero byte, decoded from
// GBK with every zero byte kept as a NUL character; invalid bytes become replacement characters.
QString registersToText(const QVector<qint16> &registers);

// The text up to its first NUL character, as a text box or list entry shows it.
QString untilFirstNul(const QString &text);

} // namespace alarmcfg
