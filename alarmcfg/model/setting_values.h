#pragma once

#include <QString>
#include <Qt>
#include <QtGlobal>

#include <array>
#include <optional>

// Numeric settings as the window edits them and the controller stores them.
namespace alarmcfg {

// The register value of a number box: its leading decimal number (leading blanks, sign, digits,
// optional fraction; an empty or non-numeric text is 0), rounded half to even. Nothing when the
// result lies outside -32768..32767, so that no wrapped value is ever written.
std::optional<qint16> registerValueOfText(const QString &text);

// Characters as the user sees them: a character outside the BMP counts once.
int characterCount(const QString &text);

// chkHold, chkPhoneAlarm, chkAnswer, in the order of their bits 0, 1, 2 in register 1030.
using OptionStates = std::array<Qt::CheckState, 3>;
using OptionBits = std::array<bool, 3>;

// The options word: a bit per fully checked box (a greyed box counts as clear), other bits 0.
qint16 optionsWord(const OptionStates &states);

// Bits 0 to 2 of the options word read back; the other bits are ignored.
OptionBits optionBits(qint16 word);

// The range combo box position of an input range code, nothing for codes outside 0..3.
std::optional<int> rangeIndexOfCode(qint16 code);

} // namespace alarmcfg
