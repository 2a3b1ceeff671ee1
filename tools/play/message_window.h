// The one window of kivo-play: messages posted to it from any thread wait in a queue until the
// main thread takes them, and a descriptor becomes readable whenever one is waiting, so the
// main thread can wait for messages and keys in one poll().
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

    // Readable while a message waits.
    int waitDescriptor() const { return pipe_[0]; }
    std::optional<WindowMessage> take();
    // After this the window no longer exists for the engine.
    void destroy();

private:
    std::mutex mutex_;
    std::deque<WindowMessage> queue_;
    bool destroyed_ = false;
    int pipe_[2] = {-1, -1};
};

}  // namespace kivo::play
