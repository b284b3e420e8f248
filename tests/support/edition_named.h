#pragma once

#include "editions/edition.h"

#include <QString>

// Whether a data row names the temperature/humidity model ("th"); anything else is analog.
inline bool isTh(const QString &edition)
{
    return edition == u"th";
}

// The edition a data row names. Link alarmcfg_model to use it.
inline const alarmcfg::Edition &editionNamed(const QString &name)
{
    return isTh(name) ? alarmcfg::temperatureHumidityEdition() : alarmcfg::analogEdition();
}
