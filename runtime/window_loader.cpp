#include "window_loader.h"

namespace kivo::runtime {

LayeredWindow* WindowSlot::load(QWidget* owner) {
    if (LayeredWindow* open = window_.data()) {
        if (open->isMinimized()) {
            open->showNormal();
        } else {
            open->raise();
            open->activateWindow();
        }
        return open;
    }
    LayeredWindow* window = make_();
    if (!window) return nullptr;
    if (owner) {
        // Owned: stays above its owner and goes with it; still a window of its own.
        window->setParent(owner, window->windowFlags() | Qt::Window);
    }
    window_ = window;
    window->show();
    emit window->created();
    return window_.data();
}

void WindowSlot::unload() {
    LayeredWindow* window = window_.data();
    if (!window) return;
    window_.clear();
    window->hide();
    // Deferred: the handler that unloads may run inside the window's own event.
    window->deleteLater();
}

}  // namespace kivo::runtime
