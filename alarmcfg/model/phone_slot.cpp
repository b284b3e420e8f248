#include "phone_slot.h"

#include "register_text.h"

namespace alarmcfg {

namespace {
const QString countryCode = QStringLiteral("86");
}

QString phoneSlotText(const QString &number)
{
    return countryCode + number;
}

std::optional<QString> phoneNumberInSlot(const QString &slotText)
{
    if (slotText.isEmpty() || slotText[0] < u'0' || slotText[0] > u'9')
        return std::nullopt;
    return untilFirstNul(slotText.mid(countryCode.size()));
}

} // namespace alarmcfg
