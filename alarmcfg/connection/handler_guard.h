#pragma once

#include "connection/controller_link.h"

#include <QString>

#include <functional>
#include <stdexcept>

namespace alarmcfg {

class FormMain;

// Runs one handler that talks to the controller. Nothing runs once the program is ending; a port
// that fails under the handler ends its sequence and gives up the connection, so no exception
// reaches the event loop. `cutShort` tells the user what the loss left unfinished, if anything.
void runHandler(ControllerLink &link, const std::function<void()> &handler, const QString &cutShort = {});
void runHandler(FormMain &form, const std::function<void()> &handler, const QString &cutShort = {});

// Runs one request and returns its result. While connected, a request that could not even be
// sent (no reply event was raised) means the port is gone: it throws SerialPortError with the
// component's reason, so the sequence ends instead of every further request failing the same way,
// and the user hears of it once, as the lost connection.
bool sendRequest(ControllerLink &link, const std::function<bool()> &request);
bool sendRequest(FormMain &form, const std::function<bool()> &request);

// Requests in a row of one sequence that may go without any reply before the sequence stops: a
// silent controller is not helped by the rest, and the user cannot stop them.
inline constexpr int silentRequestLimit = 3;

// Raised by sendRequest inside a sequence once silentRequestLimit requests in a row timed out.
class ControllerSilent : public std::runtime_error {
public:
    ControllerSilent(int stoppedAt, int requestCount)
        : std::runtime_error("the controller stopped answering"), stoppedAt(stoppedAt), requestCount(requestCount)
    {
    }
    int stoppedAt;    // 1-based, within the sequence
    int requestCount;
};

// What a sequence tells when the controller falls silent under it.
struct SilenceReport {
    QString failedMessage; // the operation's own failure message
    bool writes = false;   // the controller may now hold part of the new parameters
};

inline const QString silenceMessage =
    QStringLiteral("控制器连续 %1 次没有应答，已停止发送并断开连接。").arg(silentRequestLimit);
inline const QString partialWriteMessage =
    QStringLiteral("控制器中可能只有部分新参数，请重新链接后再次设置（重新链接会读回控制器中的参数，可先保存配置）。");
inline const QString silenceStatus = QStringLiteral("控制器不再应答：在第 %1 个请求处停止（共 %2 个），连接已断开");

// Runs `sequence`, which sends `requestCount` requests through sendRequest. When the controller
// stops answering, the sequence ends there and the connection is given up (polling would only
// time out as well), with one message: `report`'s failure message and why. False then.
bool runSequence(ControllerLink &link, int requestCount, const SilenceReport &report,
                 const std::function<void()> &sequence);
bool runSequence(FormMain &form, int requestCount, const SilenceReport &report,
                 const std::function<void()> &sequence);

} // namespace alarmcfg
