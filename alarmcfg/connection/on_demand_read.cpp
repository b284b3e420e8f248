#include "connection/on_demand_read.h"

#include "connection/handler_guard.h"
#include "connection/link.h"
#include "connection/read_sequence.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include <utility>

namespace alarmcfg {

namespace {

// The window's words for what a block fills; none: the edition's alarm text heading.
const std::pair<Field, const char *> groupNames[] = {
    {Field::Status, "状态"},
    {Field::OpenCommand, "开启命令"},
    {Field::CloseCommand, "关闭命令"},
    {Field::OpenReply, "开启回复"},
    {Field::CloseReply, "关闭回复"},
    {Field::AllCommand, "全开/全关命令"},
    {Field::DIAlarmText, "数字量报警短信"},
    {Field::PhoneSlot, "手机号码"},
    {Field::AlarmText, nullptr},
    {Field::ActionTimes, "动作时间"},
    {Field::Limits, "报警值"},
    {Field::Calibration, "校准值"},
    {Field::FullScale, "满量程值"},
    {Field::RangeCodes, "输入选择"},
    {Field::Options, "系统选项"},
};

QString groupName(const Edition &edition, Field field)
{
    for (const auto &[named, name] : groupNames)
        if (named == field)
            return name ? QString::fromUtf8(name) : edition.window.alarmHeading;
    return {};
}

// "数字量报警短信、手机号码、…" in the order the read fills them.
QString groupsRead(const Edition &edition)
{
    QStringList groups;
    for (const ReadStep &step : edition.onDemandRead) {
        const QString name = groupName(edition, step.block.field);
        if (step.kind == ReadStep::Kind::Read && !groups.contains(name))
            groups << name;
    }
    return groups.join(QStringLiteral("、"));
}

} // namespace

void cmdRelayRead_Click(FormMain &form)
{
    runHandler(form, [&form] {
        if (!form.IsConnected) {
            form.showMessage(connectFirstMessage);
            return;
        }
        BusyStep busy(form, readingStatus);
        const std::vector<ReadStep> &plan = form.edition().onDemandRead;
        bool allAnswered = false;
        const bool finished = runSequence(form, requestCount(plan), {readFailedMessage},
                                          [&] { allAnswered = runReadSequence(form, plan); });
        if (!finished || form.isEnding())
            return;
        showStatus(form, readStatus.arg(groupsRead(form.edition())) + failureNote(form));
        form.showMessage(allAnswered ? readSucceededMessage : readFailedMessage);
    });
}

} // namespace alarmcfg
