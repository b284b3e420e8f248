#pragma once

#include <optional>

// Line controls only Linux offers. Their kernel headers clash with <termios.h>, so they live in a
// translation unit of their own.
namespace linux_line {

// Sets input and output speed to exactly `bitsPerSecond` through termios2 (BOTHER), which also
// covers speeds without a termios constant. The rest of the terminal settings stay. False, with
// errno set, when the driver refuses.
bool setExactSpeed(int fd, int bitsPerSecond);

// The output speed the terminal reports, in bit/s; -1 with errno set when it cannot be read.
int exactSpeed(int fd);

// Asks the driver to hand over received bytes at once instead of batching them (USB adapters).
// Returns the driver's previous flags to restore on close; none where the driver has no such
// setting or refuses it (a pseudo-terminal, a built-in UART).
std::optional<int> requestLowLatency(int fd);
void restoreDriverFlags(int fd, int flags);

} // namespace linux_line
