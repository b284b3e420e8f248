#include "live_status.h"

#include <algorithm>

namespace alarmsim {
namespace {

struct Sensor {
    int address;
    int min;
    int max;
    int step;
};

struct EditionSensors {
    Edition edition;
    Sensor sensors[2];
};

// Analog: raw converter counts up to full scale. Th: tenths of a degree and of a percent.
constexpr EditionSensors sensorTable[] = {
    {Edition::Analog, {{0, 0, 5000, 25}, {1, 0, 5000, 25}}},
    {Edition::TemperatureHumidity, {{0, -200, 600, 3}, {1, 0, 1000, 5}}},
};

// One tick in this many changes an input.
constexpr int inputChangeOdds = 8;

} // namespace

LiveStatus::LiveStatus(Edition edition) : edition(edition), random(std::random_device{}())
{
}

void LiveStatus::tick(Registers registers)
{
    for (const auto &entry : sensorTable) {
        if (entry.edition != edition)
            continue;
        for (const Sensor &s : entry.sensors) {
            const int step = std::uniform_int_distribution<int>(-s.step, s.step)(random);
            const int value = std::clamp(int(int16_t(registers[s.address])) + step, s.min, s.max);
            registers[s.address] = uint16_t(value);
        }
    }
    if (std::uniform_int_distribution<int>(1, inputChangeOdds)(random) == 1) {
        const int bit = std::uniform_int_distribution<int>(0, inputCount(edition) - 1)(random);
        registers[inputsRegister] ^= uint16_t(1u << bit);
    }
}

} // namespace alarmsim
