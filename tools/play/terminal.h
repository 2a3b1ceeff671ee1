// Single keys from the terminal without waiting for Enter, and the terminal put back as it
// was on every way out. Nothing changes when standard input is not a terminal.
#pragma once

#include <termios.h>

namespace kivo::play {

class RawKeys {
public:
    RawKeys();
    ~RawKeys();
    RawKeys(const RawKeys&) = delete;
    RawKeys& operator=(const RawKeys&) = delete;

    bool active() const { return active_; }
    // The next key, or -1 when none is waiting; 0 at the end of the input.
    int read();

private:
    bool active_ = false;
    termios saved_{};
};

}  // namespace kivo::play
