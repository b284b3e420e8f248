#include "connection/read_configuration.h"

#include "connection/connect.h"
#include "connection/controller_link.h"
#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_sequence.h"
#include "editions/config_decoding.h"
#include "editions/plan_builders.h"
#include "window/form_main.h"

#include <utility>

namespace alarmcfg {

namespace {

// While it lives, the window shows only the live state of the replies it gets.
class WindowKeepsItsValues {
public:
    explicit WindowKeepsItsValues(FormMain &form)
        : form_(form)
        , previous_(std::exchange(form.readingConfiguration, true))
    {
    }
    ~WindowKeepsItsValues() { form_.readingConfiguration = previous_; }
    WindowKeepsItsValues(const WindowKeepsItsValues &) = delete;
    WindowKeepsItsValues &operator=(const WindowKeepsItsValues &) = delete;

private:
    FormMain &form_;
    bool previous_;
};

std::vector<RegisterBlock> readBackBlocks(const Edition &edition)
{
    std::vector<RegisterBlock> blocks;
    for (const ReadStep &step : edition.readBack)
        if (step.kind == ReadStep::Kind::Read)
            blocks.push_back(step.block);
    return blocks;
}

// A read of the first registers of each all-on/all-off command slot, which the read-back leaves out.
std::vector<RegisterBlock> allCommandBlocks(const Edition &edition)
{
    std::vector<RegisterBlock> blocks;
    for (const WriteStep &step : edition.writePlan)
        if (step.block.field == Field::AllCommand)
            blocks.push_back({step.block.field, step.block.index, step.block.address, plan::textReadRegisters});
    return blocks;
}

// True when every block was answered; stops at once when the program is ending.
bool readBlocksInto(ControllerLink &link, const Edition &edition, ControllerConfig &config,
                    const std::vector<RegisterBlock> &blocks)
{
    const ReadRepliesTo into(link.component, [&edition, &config](int startAddress, const QVector<qint16> &registers) {
        applyReadReply(config, edition, startAddress, registers);
    });
    bool answered = true;
    for (const RegisterBlock &block : blocks) {
        if (link.view.isEnding())
            return false;
        answered = readBlock(link, block) && answered;
    }
    return answered;
}

} // namespace

std::optional<ControllerConfig> readWholeConfiguration(ControllerLink &link, const Edition &edition,
                                                       ControllerConfig start)
{
    const std::vector<RegisterBlock> readBack = readBackBlocks(edition);
    const std::vector<RegisterBlock> commands = allCommandBlocks(edition);
    bool answered = false;
    runHandler(link, [&] {
        runSequence(link, int(readBack.size() + commands.size()), {readBackFailedMessage}, [&] {
            answered = readBlocksInto(link, edition, start, readBack) &&
                       readBlocksInto(link, edition, start, commands);
        });
    });
    if (!answered || !link.connected)
        return std::nullopt;
    return start;
}

std::optional<ControllerConfig> readWholeConfiguration(FormMain &form, ControllerConfig start)
{
    const WindowKeepsItsValues keeps(form);
    ControllerLink link = windowLink(form);
    return readWholeConfiguration(link, form.edition(), std::move(start));
}

std::array<std::optional<QString>, 2> readAllCommands(FormMain &form)
{
    const WindowKeepsItsValues keeps(form);
    ControllerLink link = windowLink(form);
    ControllerConfig commands;
    readBlocksInto(link, form.edition(), commands, allCommandBlocks(form.edition()));
    return commands.allCommands;
}

} // namespace alarmcfg
