#pragma once

#include <QString>

#include <optional>

// Phone number slots: "86" and the number, or the marker "a" for an empty slot.
namespace alarmcfg {

// The marker written into a slot without a number.
inline const QString emptyPhoneSlotMarker = QStringLiteral("a");

// The slot text of a list entry: "86" followed by the number.
QString phoneSlotText(const QString &number);

// The number a decoded slot holds: when its first character is 0-9, the text from the third
// character up to the next NUL (the "86" is dropped unchecked); nothing otherwise.
std::optional<QString> phoneNumberInSlot(const QString &slotText);

} // namespace alarmcfg
