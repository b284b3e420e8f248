#include "config_decoding.h"

#include "model/command_text.h"
#include "model/phone_slot.h"
#include "model/register_text.h"
#include "model/status_values.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace alarmcfg {

namespace {

constexpr int versionRegister = 6;

int stepsOf(const Edition &edition, Field field)
{
    return int(std::ranges::count(edition.writePlan, field, [](const WriteStep &step) { return step.block.field; }));
}

// Registers a numeric block of the full write holds; 0 for a block the model does not write.
int writtenRegisters(const Edition &edition, Field field)
{
    const auto found = std::ranges::find(edition.writePlan, field, [](const WriteStep &step) { return step.block.field; });
    return found == edition.writePlan.end() ? 0 : found->block.count;
}

QString &slotOf(QStringList &texts, int index)
{
    if (index < 0 || index >= texts.size())
        throw std::out_of_range("no text slot " + std::to_string(index));
    return texts[index];
}

QString commandOf(const QString &stored)
{
    return untilFirstNul(splitCommand(stored).command);
}

void applyOpenCommand(ControllerConfig &config, int relay, const QString &stored)
{
    const StoredCommand command = splitCommand(stored);
    config.relays.at(relay).open = untilFirstNul(command.command);
    config.password = command.hasPassword ? untilFirstNul(command.password) : QString();
}

void applyPhoneSlot(ControllerConfig &config, int slot, const QString &stored)
{
    if (slot == 0)
        config.phones.clear();
    if (const auto number = phoneNumberInSlot(stored))
        config.phones << *number;
}

// Each register into the value of the same position; registers beyond the values are unused.
template <class T>
void setNumbers(QVector<T> &values, const QVector<qint16> &r)
{
    for (qsizetype i = 0; i < std::min(values.size(), r.size()); ++i)
        values[i] = r[i];
}

void applyRangeCodes(ControllerConfig &config, const QVector<qint16> &r)
{
    for (qsizetype c = 0; c < std::min(config.rangeIndexes.size(), r.size()); ++c)
        if (const auto index = rangeIndexOfCode(r[c]))
            config.rangeIndexes[c] = *index;
}

} // namespace

ControllerConfig blankConfig(const Edition &edition)
{
    ControllerConfig config;
    config.relays.resize(edition.relayCount);
    config.inputAlarmTexts = QStringList(stepsOf(edition, Field::DIAlarmText), QString());
    config.alarmTexts = QStringList(stepsOf(edition, Field::AlarmText), QString());
    config.actionTimes = QVector<qint16>(edition.relayCount, 0);
    config.limits = QVector<qint16>(writtenRegisters(edition, Field::Limits), 0);
    config.calibration = QVector<qint16>(writtenRegisters(edition, Field::Calibration), 0);
    config.fullScale = QVector<qint16>(writtenRegisters(edition, Field::FullScale), 0);
    config.rangeIndexes = QVector<int>(writtenRegisters(edition, Field::RangeCodes), 0);
    return config;
}

std::optional<RegisterBlock> configBlockAt(const Edition &edition, int address)
{
    if (const RegisterBlock *block = edition.blockAt(address))
        return *block;
    for (const WriteStep &step : edition.writePlan)
        if (step.block.field == Field::AllCommand && step.block.address == address)
            return step.block;
    return std::nullopt;
}

void applyReadReply(ControllerConfig &config, const RegisterBlock &block, const QVector<qint16> &r)
{
    const int i = block.index;
    switch (block.field) {
    case Field::Status:
        config.firmware = firmwareCaption(firmwareVersion(r.value(versionRegister)));
        return;
    case Field::OpenCommand: return applyOpenCommand(config, i, registersToText(r));
    case Field::CloseCommand: config.relays.at(i).close = commandOf(registersToText(r)); return;
    case Field::OpenReply: config.relays.at(i).openReply = untilFirstNul(registersToText(r)); return;
    case Field::CloseReply: config.relays.at(i).closeReply = untilFirstNul(registersToText(r)); return;
    case Field::AllCommand: config.allCommands.at(i) = commandOf(registersToText(r)); return;
    case Field::AlarmText: slotOf(config.alarmTexts, i) = untilFirstNul(registersToText(r)); return;
    case Field::DIAlarmText: slotOf(config.inputAlarmTexts, i) = untilFirstNul(registersToText(r)); return;
    case Field::PhoneSlot: return applyPhoneSlot(config, i, registersToText(r));
    case Field::ActionTimes: return setNumbers(config.actionTimes, r);
    case Field::Limits: return setNumbers(config.limits, r);
    case Field::Calibration: return setNumbers(config.calibration, r);
    case Field::FullScale: return setNumbers(config.fullScale, r);
    case Field::RangeCodes: return applyRangeCodes(config, r);
    case Field::Options: config.options = optionBits(r.value(0)); return;
    }
}

void applyReadReply(ControllerConfig &config, const Edition &edition, int startAddress, const QVector<qint16> &r)
{
    if (const auto block = configBlockAt(edition, startAddress))
        applyReadReply(config, *block, r);
}

} // namespace alarmcfg
