#include "terminal.h"

#include <poll.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>

namespace kivo::play {

RawKeys::RawKeys(bool audioOnStandardInput) {
    if (audioOnStandardInput) {
        fd_ = ::open("/dev/tty", O_RDONLY | O_CLOEXEC);
        ownsFd_ = fd_ >= 0;
        if (!ownsFd_) return;  // no terminal: no keys
    }
    if (!::isatty(fd_) || ::tcgetattr(fd_, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(fd_, TCSANOW, &raw) == 0;
}

RawKeys::~RawKeys() {
    if (active_) ::tcsetattr(fd_, TCSANOW, &saved_);
    if (ownsFd_) ::close(fd_);
}

namespace {

int readByte(int fd) {
    unsigned char c;
    const ssize_t n = ::read(fd, &c, 1);
    if (n == 1) return c;
    return n == 0 ? 0 : -1;
}

}  // namespace

int RawKeys::read() {
    if (fd_ < 0) return 0;
    const int c = readByte(fd_);
    // An arrow key comes as ESC [ A..D, all three bytes at once.
    if (c != 0x1B) return c;
    if (readByte(fd_) != '[') return c;
    switch (readByte(fd_)) {
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
    pollfd fds[2] = {{window.waitDescriptor(), POLLIN, 0}, {fd_, POLLIN, 0}};
    const int ready = ::poll(fds, watchKeys && fd_ >= 0 ? 2 : 1, timeoutMs);
    Wakeup wakeup;
    wakeup.failed = ready < 0 && errno != EINTR;
    wakeup.message = ready > 0 && (fds[0].revents & POLLIN);
    wakeup.key = ready > 0 && watchKeys && (fds[1].revents & (POLLIN | POLLHUP));
    return wakeup;
}

}  // namespace kivo::play
