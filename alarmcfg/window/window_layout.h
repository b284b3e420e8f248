#pragma once

#include "editions/edition.h"
#include "window/form_main.h"

namespace alarmcfg {

// Creates every widget of the edition's window inside `window`, names them, fills their captions
// and initial texts and arranges them with layouts.
Controls buildWindow(QWidget *window, const Edition &edition);

// The name of member `index` of a control array: "cmdRelay_3".
QString arrayName(const QString &name, int index);

} // namespace alarmcfg
