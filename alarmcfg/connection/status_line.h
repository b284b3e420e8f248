#pragma once

#include <QString>

namespace alarmcfg {

class FormMain;

// Shows `text` in the status line at once; it stays until the next step or outcome replaces it.
void showStatus(FormMain &form, const QString &text);

// From a click until its operation ends: the busy cursor, the first step in the status line
// (painted before the blocking requests, which dispatch no events) and a fresh request count.
class BusyStep {
public:
    BusyStep(FormMain &form, const QString &step);
    ~BusyStep();
    BusyStep(const BusyStep &) = delete;
    BusyStep &operator=(const BusyStep &) = delete;
};

// "（58 个请求中 3 个失败）" for the requests since the step began; empty when none failed.
QString failureNote(const FormMain &form);

} // namespace alarmcfg
