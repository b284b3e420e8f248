#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

namespace alarmcfg {

class FormMain;
struct Edition;

inline const QString firmwareTooOldMessage = QStringLiteral("设备版本太低，请下载V1.0的配置软件！");

// True when the edition cannot configure the firmware of a status reply.
bool refusesFirmware(const Edition &edition, const QVector<qint16> &status);

// Every read reply: stops the watchdog, then puts the block at `startAddress` into the window
// and the window state. Replies for addresses that mean nothing change nothing else. Sends
// nothing; an old firmware in a status reply of the analog model ends the program.
void FC03ReadHoldingRegisterRespond4X(FormMain &form, qint16 startAddress,
                                      const QVector<qint16> &RegisterData, qint16 RegisterCount);

// The slot of DIAlarmText the selector cmbDISel stands for; -1 while its list is empty.
int selectedDIAlarmSlot(const FormMain &form);
// Shows that slot in txtDIAlarm, up to its first NUL: after a read-back and when the selection
// changes.
void showSelectedDIAlarmText(FormMain &form);

} // namespace alarmcfg
