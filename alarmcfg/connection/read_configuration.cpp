#include "connection/read_configuration.h"

#include "connection/connect.h"
#include "connection/handler_guard.h"
#include "connection/read_sequence.h"
#include "editions/plan_builders.h"
#include "window/form_main.h"

#include <utility>

namespace alarmcfg {

namespace {

// The replies of the reads made while it lives go into `config`, however the reads end.
class ReadingInto {
public:
    ReadingInto(FormMain &form, ControllerConfig &config)
        : form_(form)
        , previous_(std::exchange(form.configBeingRead, &config))
    {
    }
    ~ReadingInto() { form_.configBeingRead = previous_; }
    ReadingInto(const ReadingInto &) = delete;
    ReadingInto &operator=(const ReadingInto &) = delete;

private:
    FormMain &form_;
    ControllerConfig *previous_;
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
bool readBlocksInto(FormMain &form, ControllerConfig &config, const std::vector<RegisterBlock> &blocks)
{
    const ReadingInto into(form, config);
    bool answered = true;
    for (const RegisterBlock &block : blocks) {
        if (form.isEnding())
            return false;
        answered = readBlock(form, block) && answered;
    }
    return answered;
}

} // namespace

std::optional<ControllerConfig> readWholeConfiguration(FormMain &form, ControllerConfig start)
{
    const std::vector<RegisterBlock> readBack = readBackBlocks(form.edition());
    const std::vector<RegisterBlock> commands = allCommandBlocks(form.edition());
    bool answered = false;
    runHandler(form, [&] {
        runSequence(form, int(readBack.size() + commands.size()), {readBackFailedMessage}, [&] {
            answered = readBlocksInto(form, start, readBack) && readBlocksInto(form, start, commands);
        });
    });
    if (!answered || !form.IsConnected)
        return std::nullopt;
    return start;
}

std::array<std::optional<QString>, 2> readAllCommands(FormMain &form)
{
    ControllerConfig commands;
    readBlocksInto(form, commands, allCommandBlocks(form.edition()));
    return commands.allCommands;
}

} // namespace alarmcfg
