#pragma once

#include "edition.h"

#include "model/controller_config.h"

#include <QString>
#include <QVector>

#include <optional>
#include <vector>

// The requests of the full write of a configuration, and the checks that refuse it.
namespace alarmcfg {

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

// A value the write refuses and where it is: the block of the refused text or number (for a
// numeric block, `index` is the value's position in it); no field for the password.
struct WriteRefusal {
    QString message;
    std::optional<Field> field;
    int index = 0;
};

// One request of the write, encoded: function 16, or function 6 for a single register.
struct WriteRequest {
    Field field;
    int index; // relay, slot or channel, as in the plan
    quint16 address;
    QVector<qint16> registers;
    bool singleRegister;
    double progressAdvance;
};

// The requests in the order of the edition's write plan, or why the configuration cannot be
// written. Steps without a value are left out: an absent all-on/all-off command, and a phone slot
// beyond the list where the model writes no marker.
struct ConfigWrite {
    std::vector<WriteRequest> requests;
    std::optional<WriteRefusal> refusal;
};
ConfigWrite configWrite(const Edition &edition, const ControllerConfig &config);

// The checks that look at the configuration as a whole, in the order the user meets them; they
// come before those of single texts.
std::optional<WriteRefusal> wholeConfigRefusal(const Edition &edition, const ControllerConfig &config);

// Every check of the write; nothing when the configuration can be written.
std::optional<WriteRefusal> writeRefusal(const Edition &edition, const ControllerConfig &config);

} // namespace alarmcfg
