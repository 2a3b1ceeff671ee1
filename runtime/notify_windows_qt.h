// The engine's notify windows over Qt: a handle per receiving object, messages posted from any
// thread and delivered on the object's thread in posting order. A handle dies with its object
// and is never given out again.
#pragma once

#include <QEvent>
#include <QObject>
#include <map>
#include <memory>
#include <mutex>

#include "notify_messages.h"
#include "notify_window.h"

namespace kivo::runtime {

// How a posted message arrives at its object.
class NotifyEvent : public QEvent {
public:
    static QEvent::Type eventType();
    NotifyEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
        : QEvent(eventType()), message(message), wParam(wParam), lParam(lParam) {}
    const uint32_t message;
    const uintptr_t wParam;
    const intptr_t lParam;
};

class QtNotifyWindows : public NotifyWindows {
public:
    QtNotifyWindows() = default;
    ~QtNotifyWindows() override;

    // The object's handle, made on first use.
    WindowHandle handleOf(QObject* object);

    bool isWindow(WindowHandle window) override;
    bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;

private:
    void forget(QObject* object);

    std::mutex mutex_;
    std::map<WindowHandle, QObject*> objects_;
    struct Known {
        WindowHandle handle;
        QMetaObject::Connection watch;  // forgets the object when it is destroyed
    };
    std::map<QObject*, Known> handles_;
    WindowHandle next_ = 1;
};

// Installs a Qt notify-window system for the engine for as long as the result lives:
//   auto notify = kivo::runtime::installNotifyWindows();
std::unique_ptr<QtNotifyWindows, void (*)(QtNotifyWindows*)> installNotifyWindows();

// The handle of `object` in the installed system; 0 when none is installed.
WindowHandle notifyHandleOf(QObject* object);

}  // namespace kivo::runtime
