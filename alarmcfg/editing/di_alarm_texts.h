#pragma once

#include <QString>
#include <QStringList>

namespace alarmcfg {

class FormMain;

// Channels the selector cmbDISel offers; entry k edits slot k of DIAlarmText.
inline constexpr int diChannelCount = 4;

// "数字通道" k+1 "报警".
QString defaultDIAlarmText(int slot);
// Gives slots 0..slotCount-1 of the buffer their default text.
void setDefaultDIAlarmTexts(FormMain &form, int slotCount);
// "数字通道1" .. "数字通道4".
QStringList diChannelItems();

// Shows the selected channel's slot in txtDIAlarm, up to its first NUL.
void cmbDISel_Click(FormMain &form);
// Stores the whole text of txtDIAlarm into the selected channel's slot.
void txtDIAlarm_Change(FormMain &form);
// When the user leaves the selector's text: a channel name typed in full selects that channel,
// any other text gives way to the name of the channel still selected. Edits of txtDIAlarm made
// meanwhile went to that channel.
void cmbDISel_EditingFinished(FormMain &form);

} // namespace alarmcfg
