#include "notify_window.h"

#include <atomic>

namespace kivo {

namespace {
std::atomic<NotifyWindows*> installedWindows{nullptr};
}

void setNotifyWindows(NotifyWindows* windows) {
    installedWindows.store(windows, std::memory_order_release);
}

NotifyWindows* notifyWindows() {
    return installedWindows.load(std::memory_order_acquire);
}

bool postToWindow(WindowHandle window, uint32_t message, uintptr_t wParam) {
    if (window == 0) return false;
    NotifyWindows* windows = notifyWindows();
    if (!windows || !windows->isWindow(window)) return false;
    return windows->postMessage(window, message, wParam, 0);
}

}  // namespace kivo
