#pragma once

#include <cmath>

namespace modbus_detail {

// Nearest integer, a tie going to the even neighbour, independent of the FPU rounding mode.
inline double roundHalfEven(double x)
{
    const double down = std::floor(x);
    const double diff = x - down;
    if (diff < 0.5)
        return down;
    if (diff > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

} // namespace modbus_detail
