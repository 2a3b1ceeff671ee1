#include "notify_windows_qt.h"

#include <QCoreApplication>

namespace kivo::runtime {

QEvent::Type NotifyEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QtNotifyWindows::~QtNotifyWindows() {
    std::lock_guard lock(mutex_);
    for (auto& [object, known] : handles_) QObject::disconnect(known.watch);
}

WindowHandle QtNotifyWindows::handleOf(QObject* object) {
    if (!object) return 0;
    std::lock_guard lock(mutex_);
    auto known = handles_.find(object);
    if (known != handles_.end()) return known->second.handle;
    WindowHandle handle = next_++;
    objects_.emplace(handle, object);
    // Direct: runs inside the object's destruction, before it can be posted to again.
    auto watch = QObject::connect(
        object, &QObject::destroyed, object, [this, object] { forget(object); },
        Qt::DirectConnection);
    handles_.emplace(object, Known{handle, watch});
    return handle;
}

void QtNotifyWindows::forget(QObject* object) {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(object);
    if (it == handles_.end()) return;
    objects_.erase(it->second.handle);
    handles_.erase(it);
}

bool QtNotifyWindows::isWindow(WindowHandle window) {
    std::lock_guard lock(mutex_);
    return objects_.count(window) != 0;
}

bool QtNotifyWindows::postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) {
    // Posting under the lock: the object cannot finish its destruction meanwhile, and Qt
    // drops the events still queued for an object when it is destroyed.
    std::lock_guard lock(mutex_);
    auto it = objects_.find(window);
    if (it == objects_.end()) return false;
    QCoreApplication::postEvent(it->second, new NotifyEvent(message, wParam, lParam));
    return true;
}

namespace {
QtNotifyWindows* installedWindows = nullptr;

void uninstall(QtNotifyWindows* windows) {
    if (notifyWindows() == windows) setNotifyWindows(nullptr);
    if (installedWindows == windows) installedWindows = nullptr;
    delete windows;
}
}  // namespace

std::unique_ptr<QtNotifyWindows, void (*)(QtNotifyWindows*)> installNotifyWindows() {
    auto* windows = new QtNotifyWindows;
    installedWindows = windows;
    setNotifyWindows(windows);
    return {windows, &uninstall};
}

WindowHandle notifyHandleOf(QObject* object) {
    return installedWindows ? installedWindows->handleOf(object) : 0;
}

}  // namespace kivo::runtime
