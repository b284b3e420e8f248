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

// Registers a write stores into a text slot of `slotRegisters`: the text, ended by a zero byte when
// it is shorter than the slot (so that an older, longer text does not read back behind it), and
// an odd byte count padded with one zero byte. An empty text is one zero register; a text that
// fills its slot has no terminator. Throws std::length_error for a text longer than its slot.
QVector<qint16> textToRegisters(const QString &text, int slotRegisters);

// The text of registers read from a slot: their bytes and one appended zero byte, decoded from
// GBK with every zero byte kept as a NUL character; invalid bytes become replacement characters.
QString registersToText(const QVector<qint16> &registers);

// The text up to its first NUL character, as a text box or list entry shows it.
QString untilFirstNul(const QString &text);

} // namespace alarmcfg
