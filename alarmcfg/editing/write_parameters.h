#pragma once

#include "editions/config_write_plan.h"
#include "model/controller_config.h"

#include <QString>

#include <optional>

namespace alarmcfg {

class ControllerLink;
class FormMain;

// What the status line says after a write: all confirmed, refused before sending (%1 the reason),
// or sent with requests that failed (a failure note follows).
struct WriteStatus {
    QString written;
    QString refused;
    QString partly;
};
inline const QString writingStatus = QStringLiteral("正在写入…");
inline const WriteStatus parameterWriteStatus{QStringLiteral("全部参数已写入控制器"),
                                              QStringLiteral("参数未写入：%1"),
                                              QStringLiteral("参数未全部写入控制器")};

// Writes the window as cmdRelayWrite_Click does; the status line says what it did in `status`'s
// words.
void writeWindow(FormMain &form, const WriteStatus &status);

// Writes a configuration through `link` as cmdRelayWrite_Click writes the window, with its checks,
// messages and status line; a value the configuration leaves out (an absent all-on or all-off
// command) is not written, and the controller keeps its own.
void writeConfiguration(ControllerLink &link, const Edition &edition, const ControllerConfig &config);

// Writes everything the window shows, in the order of the edition's write plan. Every check runs
// before the first request, so a refused write sends nothing. Ends with one message: success
// only when the controller confirmed every request. A port that fails, or on which the component
// can no longer send, stops the sequence and gives up the connection.
void cmdRelayWrite_Click(FormMain &form);

} // namespace alarmcfg
