#include "config_write_plan.h"

#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"

#include <stdexcept>
#include <string>
#include <variant>

namespace alarmcfg {

namespace {

// What one step of the plan takes from the configuration: nothing (a slot left alone), a text,
// or register values.
using Source = std::variant<std::monostate, QString, QVector<qint16>>;

template <class T>
const T &at(const QList<T> &values, int index)
{
    if (index < 0 || index >= values.size())
        throw std::out_of_range("no configuration value " + std::to_string(index));
    return values[index];
}

Source phoneSlotSource(const Edition &edition, const ControllerConfig &config, int slot)
{
    if (slot < config.phones.size())
        return phoneSlotText(config.phones[slot]);
    return edition.emptyPhoneSlotText;
}

Source allCommandSource(const ControllerConfig &config, int index)
{
    const std::optional<QString> &command = config.allCommands.at(std::size_t(index));
    return command ? Source(*command) : Source(std::monostate{});
}

// The first `count` values of a block.
QVector<qint16> firstOf(const QVector<qint16> &values, int count)
{
    if (count > values.size())
        throw std::out_of_range("a numeric block beyond its values");
    return values.first(count);
}

QVector<qint16> rangeCodes(const ControllerConfig &config, int count)
{
    QVector<qint16> codes;
    for (int c = 0; c < count; ++c)
        codes << qint16(at(config.rangeIndexes, c)); // none chosen: -1, 0xFFFF
    return codes;
}

qint16 optionsWordOf(const OptionBits &bits)
{
    OptionStates states{};
    for (std::size_t i = 0; i < bits.size(); ++i)
        states[i] = bits[i] ? Qt::Checked : Qt::Unchecked;
    return optionsWord(states);
}

Source sourceOf(const Edition &edition, const ControllerConfig &config, const WriteStep &step)
{
    const int i = step.block.index;
    const int count = step.block.count;
    switch (step.block.field) {
    case Field::OpenCommand: return config.relays.at(std::size_t(i)).open;
    case Field::CloseCommand: return config.relays.at(std::size_t(i)).close;
    case Field::OpenReply: return config.relays.at(std::size_t(i)).openReply;
    case Field::CloseReply: return config.relays.at(std::size_t(i)).closeReply;
    case Field::AllCommand: return allCommandSource(config, i);
    case Field::AlarmText: return at(config.alarmTexts, i);
    case Field::DIAlarmText: return at(config.inputAlarmTexts, i);
    case Field::PhoneSlot: return phoneSlotSource(edition, config, i);
    case Field::ActionTimes: return firstOf(config.actionTimes, count);
    case Field::Limits: return firstOf(config.limits, count);
    case Field::Calibration: return firstOf(config.calibration, count);
    case Field::FullScale: return firstOf(config.fullScale, count);
    case Field::RangeCodes: return rangeCodes(config, count);
    case Field::Options: return QVector<qint16>{optionsWordOf(config.options)};
    case Field::Status: break;
    }
    throw std::logic_error("the status block is not part of the parameter write");
}

// Commands and relay replies stop at 20 bytes; every other text at the size of its slot, so
// that no write reaches into the next field. A character GBK lacks would be stored as "?".
std::optional<QString> textRefusal(const QString &text, const WriteStep &step)
{
    if (!isGbkEncodable(text))
        return WriteMessages::notEncodable;
    const int bytes = gbkByteLength(text);
    if (step.lengthCheck && bytes > maxCommandBytes)
        return WriteMessages::commandTooLong;
    if (!step.lengthCheck && bytes > 2 * step.block.count)
        return WriteMessages::textTooLong;
    return std::nullopt;
}

// The first limit whose text is too long, if the edition limits them.
std::optional<int> limitTooLong(const Edition &edition, const ControllerConfig &config)
{
    if (!edition.limitTextMaxChars)
        return std::nullopt;
    for (int k = 0; k < int(config.limits.size()); ++k)
        if (characterCount(QString::number(config.limits[k])) > *edition.limitTextMaxChars)
            return k;
    return std::nullopt;
}

} // namespace

std::optional<WriteRefusal> wholeConfigRefusal(const Edition &edition, const ControllerConfig &config)
{
    if (edition.requiresPhoneNumber && config.phones.isEmpty())
        return WriteRefusal{WriteMessages::noPhoneNumber, Field::PhoneSlot, 0};
    if (const auto limit = limitTooLong(edition, config))
        return WriteRefusal{WriteMessages::limitTooLong, Field::Limits, *limit};
    if (characterCount(config.password) > maxPasswordChars)
        return WriteRefusal{WriteMessages::passwordTooLong, std::nullopt, 0};
    return std::nullopt;
}

ConfigWrite configWrite(const Edition &edition, const ControllerConfig &config)
{
    ConfigWrite write;
    for (const WriteStep &step : edition.writePlan) {
        const Source source = sourceOf(edition, config, step);
        if (std::holds_alternative<std::monostate>(source))
            continue;
        QVector<qint16> registers;
        if (const auto *text = std::get_if<QString>(&source)) {
            const QString stored = step.passwordPrefix ? commandText(config.password, *text) : *text;
            if (auto refusal = textRefusal(stored, step))
                return {{}, WriteRefusal{*refusal, step.block.field, step.block.index}};
            registers = textToRegisters(stored, step.block.count);
        } else {
            registers = std::get<QVector<qint16>>(source);
        }
        write.requests.push_back({step.block.field, step.block.index, step.block.address, registers,
                                  step.block.field == Field::Options, step.progressAdvance});
    }
    return write;
}

std::optional<WriteRefusal> writeRefusal(const Edition &edition, const ControllerConfig &config)
{
    if (auto refusal = wholeConfigRefusal(edition, config))
        return refusal;
    return configWrite(edition, config).refusal;
}

} // namespace alarmcfg
