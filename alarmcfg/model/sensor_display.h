#pragma once

namespace alarmcfg {

// How register 0 and 1 of the status block are shown.
enum class SensorDisplay {
    Plain,               // signed decimal
    TemperatureHumidity, // tenths with "^C" and "%"
};

} // namespace alarmcfg
