// The register-map encoders fed arbitrary texts, numbers and registers: texts in registers,
// commands with password, phone slots, number boxes, option bits, firmware version, sensor
// values and the component's register/byte conversions. Each case also checks the round trip
// the window relies on.

#include "fuzz_input.h"

#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"
#include "model/setting_values.h"
#include "model/status_values.h"

#include <modbus/conversion.h>

#include <QVector>

#include <algorithm>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace {

using namespace alarmcfg;

constexpr std::size_t maxTextUnits = 255;
constexpr int maxRegisters = 300;

// Texts the controller can hold come back as they went in, up to the first NUL.
void textRoundTrip(FuzzInput &in)
{
    const QString text = in.utf16Text(maxTextUnits);
    const QByteArray gbk = toGbk(text);
    FUZZ_CHECK(gbkByteLength(text) == gbk.size());
    const int slot = int(maxTextUnits + 1); // registers: two bytes a unit at most, then a terminator
    const QVector<qint16> registers = textToRegisters(text, slot);
    FUZZ_CHECK(registers.size() == std::min<qsizetype>(slot, gbk.size() / 2 + 1));
    const QString decoded = registersToText(registers);
    FUZZ_CHECK(decoded.endsWith(QChar(0)));
    if (isGbkEncodable(text) && !text.contains(QChar(0)))
        FUZZ_CHECK(untilFirstNul(decoded) == text);
}

// Whatever a controller holds decodes to some text, never past the registers read.
void registersDecode(FuzzInput &in)
{
    const int count = in.below(maxRegisters);
    QVector<qint16> registers;
    for (int i = 0; i < count; ++i)
        registers.append(in.signedWord());
    const QString text = registersToText(registers);
    FUZZ_CHECK(!text.isEmpty() && text.endsWith(QChar(0)));
    const QString shown = untilFirstNul(text);
    FUZZ_CHECK(!shown.contains(QChar(0)));
    FUZZ_CHECK(text.startsWith(shown));
}

void commandRoundTrip(FuzzInput &in)
{
    const QString password = in.utf16Text(maxTextUnits);
    const QString command = in.utf16Text(maxTextUnits);
    const QString stored = commandText(password, command);
    const StoredCommand split = splitCommand(stored);
    // A slot is read up to its first NUL: a "*" behind it is an older text's tail.
    FUZZ_CHECK(split.hasPassword == untilFirstNul(stored).contains(u'*'));
    const auto plain = [](const QString &part) { return !part.contains(u'*') && !part.contains(QChar(0)); };
    if (plain(password) && plain(command)) {
        FUZZ_CHECK(split.command == command);
        FUZZ_CHECK(split.password == password);
    }
    // Any stored text splits into parts it contains.
    const StoredCommand any = splitCommand(in.utf16Text(maxTextUnits));
    FUZZ_CHECK(!any.password.contains(u'*') && !any.command.contains(u'*'));
}

void phoneRoundTrip(FuzzInput &in)
{
    const QString number = in.utf16Text(maxTextUnits);
    const std::optional<QString> back = phoneNumberInSlot(phoneSlotText(number));
    FUZZ_CHECK(back && *back == untilFirstNul(number));
    const QString slot = in.utf16Text(maxTextUnits);
    const std::optional<QString> found = phoneNumberInSlot(slot);
    FUZZ_CHECK(found.has_value() == (!slot.isEmpty() && slot[0] >= u'0' && slot[0] <= u'9'));
}

// A number box never yields a wrapped value; whole numbers in range come back unchanged.
void numberBox(FuzzInput &in)
{
    const std::optional<qint16> value = registerValueOfText(in.utf16Text(maxTextUnits));
    (void)value;
    const qint32 whole = qint32(quint32(in.word()) << 16 | in.word());
    const std::optional<qint16> parsed = registerValueOfText(QString::number(whole));
    const bool fits = whole >= std::numeric_limits<qint16>::min()
                      && whole <= std::numeric_limits<qint16>::max();
    FUZZ_CHECK(parsed.has_value() == fits);
    if (fits)
        FUZZ_CHECK(*parsed == whole);
    const QString withFraction = QString::number(whole) + QStringLiteral(".5");
    const std::optional<qint16> rounded = registerValueOfText(withFraction);
    if (rounded) {
        const qint64 magnitude = qAbs(qint64(whole));
        const qint64 expected = magnitude % 2 == 0 ? magnitude : magnitude + 1;
        FUZZ_CHECK(qAbs(qint64(*rounded)) == expected);
    }
}

void statusWords(FuzzInput &in)
{
    const qint16 word = in.signedWord();
    const FirmwareVersion version = firmwareVersion(word);
    FUZZ_CHECK(version.major * 16 + version.minor == word);
    FUZZ_CHECK(version.minor >= 0 && version.minor <= 15);
    FUZZ_CHECK(firmwareCaption(version).startsWith(u'V'));
    FUZZ_CHECK(isFirmwareSupported(version) == (word >= 0x20));

    const OptionBits bits = optionBits(word);
    const OptionStates states{bits[0] ? Qt::Checked : Qt::Unchecked,
                              bits[1] ? Qt::Checked : Qt::Unchecked,
                              bits[2] ? Qt::Checked : Qt::Unchecked};
    FUZZ_CHECK(optionsWord(states) == (word & 7));

    const std::optional<int> range = rangeIndexOfCode(word);
    FUZZ_CHECK(range.has_value() == (word >= 0 && word <= 3));

    const int channel = in.byte() % 2;
    FUZZ_CHECK(sensorValueText(SensorDisplay::Plain, channel, word) == QString::number(word));
    const QString tenths = sensorValueText(SensorDisplay::TemperatureHumidity, channel, word);
    const QString number = tenths.left(tenths.size() - (channel == 0 ? 2 : 1));
    bool ok = false;
    FUZZ_CHECK(qRound(number.toDouble(&ok) * 10) == word && ok);
}

// The conversions take any length and array sizes; only their documented errors escape.
void registerBytes(FuzzInput &in)
{
    QVector<qint16> registers(in.below(maxRegisters));
    QVector<quint8> bytes(in.below(2 * maxRegisters));
    for (qint16 &value : registers)
        value = in.signedWord();
    for (quint8 &byte : bytes)
        byte = in.byte();
    const qint16 length = in.signedWord();
    try {
        if (in.flag())
            RegisterBytes::integersToBytes(registers, bytes, length);
        else
            RegisterBytes::bytesToIntegers(registers, bytes, length);
    } catch (const std::out_of_range &) {
    } catch (const std::overflow_error &) {
    }
    FUZZ_CHECK(RegisterBytes::valueCount(length) >= 0);
}

using Case = void (*)(FuzzInput &);
constexpr Case cases[] = {textRoundTrip, registersDecode, commandRoundTrip, phoneRoundTrip,
                          numberBox,     statusWords,     registerBytes};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size)
{
    FuzzInput in(data, size);
    const Case run = cases[in.byte() % std::size(cases)];
    run(in);
    return 0;
}
