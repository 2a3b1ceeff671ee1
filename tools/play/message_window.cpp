#include "message_window.h"

#include <fcntl.h>
#include <unistd.h>

namespace kivo::play {

MessageWindow::MessageWindow() {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
}

MessageWindow::~MessageWindow() {
    for (int fd : pipe_) {
        if (fd >= 0) ::close(fd);
    }
}

bool MessageWindow::isWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    return window == kHandle && !destroyed_;
}

bool MessageWindow::postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
    std::lock_guard lock(mutex_);
    if (window != kHandle || destroyed_) return false;
    queue_.push_back({message, wParam, lParam});
    // One byte per message; a full pipe still leaves the reader awake, and take() drains it.
    const char one = 1;
    if (::write(pipe_[1], &one, 1) < 0) {
    }
    return true;
}

std::optional<WindowMessage> MessageWindow::take() {
    std::lock_guard lock(mutex_);
    char byte;
    if (::read(pipe_[0], &byte, 1) < 0) {
    }
    if (queue_.empty()) return std::nullopt;
    WindowMessage m = queue_.front();
    queue_.pop_front();
    return m;
}

void MessageWindow::destroy() {
    std::lock_guard lock(mutex_);
    destroyed_ = true;
    queue_.clear();
}

}  // namespace kivo::play
