// The one window of kivo-play: messages posted to it from any thread wait in a queue until the
// main thread takes them, and a descriptor becomes readable (on Windows an event is signalled)
// whenever one is waiting, so the main thread can wait for messages and keys at once.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "notify_window.h"

namespace kivo::play {

struct WindowMessage {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

class MessageWindow : public NotifyWindows {
public:
    static constexpr WindowHandle kHandle = 1;

    MessageWindow();
    ~MessageWindow() override;
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    bool isWindow(WindowHandle window) override;
    bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;

#ifdef _WIN32
    // Signalled while a message waits.
    void* waitEvent() const {
        return event_;
    }
#else
    // Readable while a message waits.
    int waitDescriptor() const {
        return pipe_[0];
    }
#endif
    std::optional<WindowMessage> take();
    // After this the window no longer exists for the engine.
    void destroy();

private:
    std::mutex mutex_;
    std::deque<WindowMessage> queue_;
    bool destroyed_ = false;
#ifdef _WIN32
    void* event_ = nullptr;
#else
    int pipe_[2] = {-1, -1};
#endif
};

}  // namespace kivo::play
