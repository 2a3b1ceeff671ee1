// Single keys from the terminal without waiting for Enter, the terminal put back as it was on
// every way out, and the main loop's wait for a key or a message for the window. Nothing
// changes when standard input is not a terminal (a console on Windows).
#pragma once

#ifndef _WIN32
#include <termios.h>
#endif

#include "message_window.h"

namespace kivo::play {

// Keys that are no characters, as read() gives them.
enum SpecialKey : int {
    kKeyLeft = 0x101,
    kKeyRight,
    kKeyUp,
    kKeyDown,
};

// What ended a wait.
struct Wakeup {
    bool message = false;  // a message may wait for the window
    bool key = false;      // a key may wait, or the input has ended
    bool failed = false;   // waiting itself failed
};

class RawKeys {
public:
    // `audioOnStandardInput`: the keys come from the terminal itself (/dev/tty), not from
    // standard input, which carries the sound.
    explicit RawKeys(bool audioOnStandardInput = false);
    ~RawKeys();
    RawKeys(const RawKeys&) = delete;
    RawKeys& operator=(const RawKeys&) = delete;

    bool active() const { return active_; }
    // The next key (a character or a SpecialKey), or -1 when none is waiting; 0 at the end
    // of the input.
    int read();
    // Waits at most `timeoutMs` for a message for `window` and, with `watchKeys`, for a key.
    Wakeup wait(const MessageWindow& window, bool watchKeys, int timeoutMs);

private:
    bool active_ = false;
#ifdef _WIN32
    unsigned long savedInputMode_ = 0;
    unsigned long savedOutputMode_ = 0;
    bool outputModeSet_ = false;
#else
    termios saved_{};
    int fd_ = 0;  // where the keys come from
    bool ownsFd_ = false;
#endif
};

}  // namespace kivo::play
