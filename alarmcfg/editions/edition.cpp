#include "edition.h"

#include <algorithm>

namespace alarmcfg {

const RegisterBlock *Edition::blockAt(int address) const
{
    const auto found = std::ranges::find(readableBlocks, address, &RegisterBlock::address);
    return found == readableBlocks.end() ? nullptr : &*found;
}

} // namespace alarmcfg
