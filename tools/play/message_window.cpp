#include "message_window.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kivo::play {

#ifdef _WIN32
MessageWindow::MessageWindow() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

MessageWindow::~MessageWindow() {
    if (event_) CloseHandle(event_);
}
#else
MessageWindow::MessageWindow() {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
}

MessageWindow::~MessageWindow() {
    for (int fd : pipe_) {
        if (fd >= 0) ::close(fd);
    }
}
#endif

bool MessageWindow::isWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    return window == kHandle && !destroyed_;
}

bool MessageWindow::postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam) {
    std::lock_guard lock(mutex_);
    if (window != kHandle || destroyed_) return false;
    queue_.push_back({message, wParam, lParam});
#ifdef _WIN32
    SetEvent(event_);
#else
    // One byte per message; a full pipe still leaves the reader awake, and take() drains it.
    const char one = 1;
    if (::write(pipe_[1], &one, 1) < 0) {
    }
#endif
    return true;
}

std::optional<WindowMessage> MessageWindow::take() {
    std::lock_guard lock(mutex_);
#ifdef _WIN32
    // The event stays signalled while more than this one message waits.
    if (queue_.size() <= 1) ResetEvent(event_);
#else
    char byte;
    if (::read(pipe_[0], &byte, 1) < 0) {
    }
#endif
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
