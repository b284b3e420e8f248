#pragma once

#include "register_image.h"

#include <random>

namespace alarmsim {

// Makes the status block live: sensor values wander within their range and now and then an
// input changes.
class LiveStatus {
public:
    explicit LiveStatus(Edition edition);
    void tick(Registers registers);

private:
    Edition edition;
    std::mt19937 random;
};

} // namespace alarmsim
