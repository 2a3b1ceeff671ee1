#include "terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace kivo::play {

RawKeys::RawKeys() {
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

RawKeys::~RawKeys() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

namespace {

int readByte() {
    unsigned char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 1) return c;
    return n == 0 ? 0 : -1;
}

}  // namespace

int RawKeys::read() {
    const int c = readByte();
    // An arrow key comes as ESC [ A..D, all three bytes at once.
    if (c != 0x1B) return c;
    if (readByte() != '[') return c;
    switch (readByte()) {
        case 'A':
            return kKeyUp;
        case 'B':
            return kKeyDown;
        case 'C':
            return kKeyRight;
        case 'D':
            return kKeyLeft;
        default:
            return c;
    }
}

Wakeup RawKeys::wait(const MessageWindow& window, bool watchKeys, int timeoutMs) {
    pollfd fds[2] = {{window.waitDescriptor(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int ready = ::poll(fds, watchKeys ? 2 : 1, timeoutMs);
    Wakeup wakeup;
    wakeup.failed = ready < 0 && errno != EINTR;
    wakeup.message = ready > 0 && (fds[0].revents & POLLIN);
    wakeup.key = ready > 0 && watchKeys && (fds[1].revents & (POLLIN | POLLHUP));
    return wakeup;
}

}  // namespace kivo::play
