#pragma once

#include <array>
#include <cstddef>
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

// The terminal's whole settings (termios2, the exact speeds included), kept opaque here because
// the structure cannot be named beside <termios.h>.
struct TerminalSettings {
    std::array<std::byte, 64> bytes{};
    friend bool operator==(const TerminalSettings &, const TerminalSettings &) = default;
};
// None when the settings cannot be read.
std::optional<TerminalSettings> terminalSettings(int fd);
// Puts them back at once; a device that is gone is left as it is.
void restoreTerminalSettings(int fd, const TerminalSettings &settings);

} // namespace linux_line
