#include "setting_values.h"

#include <QList>

#include <limits>

namespace alarmcfg {

namespace {

// Anything beyond this is out of range for a register whatever the fraction; stops growth.
constexpr qint64 saturatedWhole = qint64(std::numeric_limits<qint16>::max()) + 2;

constexpr std::array<int, 3> optionBitIndexes{0, 1, 2};
constexpr int rangeCodeCount = 4;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The leading number of a text, split so that rounding needs no floating point.
struct LeadingNumber {
    bool negative = false;
    qint64 whole = 0;           // saturated at saturatedWhole
    int firstFractionDigit = 0; // the tenths digit
    bool fractionRest = false;  // a non-zero digit after the tenths
};

LeadingNumber leadingNumber(const QString &text)
{
    LeadingNumber number;
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        number.negative = text[i++] == u'-';
    for (; i < text.size() && isDigit(text[i]); ++i)
        number.whole = qMin(saturatedWhole, number.whole * 10 + text[i].digitValue());
    if (i < text.size() && text[i] == u'.') {
        ++i;
        if (i < text.size() && isDigit(text[i]))
            number.firstFractionDigit = text[i++].digitValue();
        for (; i < text.size() && isDigit(text[i]); ++i)
            number.fractionRest = number.fractionRest || text[i] != u'0';
    }
    return number;
}

// Rounds the magnitude half to even; the sign does not change where a tie goes.
qint64 roundedMagnitude(const LeadingNumber &number)
{
    const int tenths = number.firstFractionDigit;
    const bool tie = tenths == 5 && !number.fractionRest;
    const bool up = tenths > 5 || (tenths == 5 && number.fractionRest) || (tie && number.whole % 2 != 0);
    return number.whole + (up ? 1 : 0);
}

} // namespace

std::optional<qint16> registerValueOfText(const QString &text)
{
    const LeadingNumber number = leadingNumber(text);
    const qint64 magnitude = roundedMagnitude(number);
    const qint64 value = number.negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(value);
}

qint16 optionsWord(const OptionStates &states)
{
    int word = 0;
    for (const int bit : optionBitIndexes)
        if (states[std::size_t(bit)] == Qt::Checked)
            word |= 1 << bit;
    return qint16(word);
}

OptionBits optionBits(qint16 word)
{
    OptionBits bits{};
    for (const int bit : optionBitIndexes)
        bits[std::size_t(bit)] = (word >> bit & 1) != 0;
    return bits;
}

std::optional<int> rangeIndexOfCode(qint16 code)
{
    if (code < 0 || code >= rangeCodeCount)
        return std::nullopt;
    return int(code);
}

int characterCount(const QString &text)
{
    return static_cast<int>(text.toUcs4().size());
}

} // namespace alarmcfg
