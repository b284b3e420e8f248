#pragma once

#include "editions/edition.h"

#include <QString>

// The edition a data row names: "th" for the temperature/humidity model, anything else analog.
// Link alarmcfg_model to use it.
inline const alarmcfg::Edition &editionNamed(const QString &name)
{
    return name == u"th" ? alarmcfg::temperatureHumidityEdition() : alarmcfg::analogEdition();
}
