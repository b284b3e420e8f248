#pragma once

#include "editions/edition.h"

#include <QString>

#include <optional>

namespace alarmcfg {

class FormMain;

// What the Set button tells the user.
struct WriteMessages {
    static inline const QString noPhoneNumber = QStringLiteral("请设置手机号码");
    static inline const QString limitTooLong = QStringLiteral("温湿度报警值超过100");
    static inline const QString passwordTooLong = QStringLiteral("密码长度不能超过6！");
    static inline const QString commandTooLong = QStringLiteral("命令长度必须小于20！");
    static inline const QString textTooLong = QStringLiteral("短信内容长度不能超过40字节！");
    static inline const QString numberOutOfRange =
        QStringLiteral("数值超出范围，必须在-32768到32767之间！");
    static inline const QString notEncodable = QStringLiteral("内容含有设备无法保存的字符！");
    static inline const QString succeeded = QStringLiteral("短信报警控制器参数设置成功！");
    static inline const QString failed = QStringLiteral("短信报警控制器参数设置失败，请检查设备连接！");
    static inline const QString connectionLostDuringWrite =
        QStringLiteral("写入参数时连接中断，控制器可能只保存了部分新参数：请重新连接后再次设置！");
};

// Password and command texts longer than this refuse the write.
inline constexpr int maxPasswordChars = 6;
inline constexpr int maxCommandBytes = 20;

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

// A value the write refuses and where it is: the block of the refused text or number (for a
// numeric block, `index` is the value's position in it); no field for the password.
struct WriteRefusal {
    QString message;
    std::optional<Field> field;
    int index = 0;
};

// Every check of the write but the connection, in the order the user meets them; nothing when
// the window's values can be written. Sends nothing. Configuration files reuse it.
std::optional<WriteRefusal> valueRefusal(const FormMain &form);

// Writes everything the window shows, in the order of the edition's write plan. Every check runs
// before the first request, so a refused write sends nothing. Ends with one message: success
// only when the controller confirmed every request. A port that fails, or on which the component
// can no longer send, stops the sequence and gives up the connection.
void cmdRelayWrite_Click(FormMain &form);

} // namespace alarmcfg
