// The window system as the engine sees it: a window is a handle, a message is posted to it
// and is delivered later on the window's own thread, in posting order. The application's
// runtime implements this over its toolkit; tests implement it with a recorder.
#pragma once

#include <cstdint>

namespace kivo {

using WindowHandle = uintptr_t;  // 0 means "no window"

class NotifyWindows {
public:
    virtual ~NotifyWindows() = default;
    // Whether the window still exists.
    virtual bool isWindow(WindowHandle window) = 0;
    // Queues a message for the window; false when it cannot be posted.
    virtual bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;
};

// The process's window system; null until the application (or a test) installs one, and then
// nothing is posted.
void setNotifyWindows(NotifyWindows* windows);
NotifyWindows* notifyWindows();

// Posts a message (lParam 0) to the window through the installed system. Nothing happens for
// window 0, without a system, or when the window no longer exists; false then.
bool postToWindow(WindowHandle window, uint32_t message, uintptr_t wParam);

}  // namespace kivo
