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

}  // namespace kivo
