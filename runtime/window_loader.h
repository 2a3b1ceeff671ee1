// Load and unload of windows. A slot holds the one open copy of a window: loading an open
// window only restores it when minimised and otherwise activates it, with no second copy and
// no second created event.
#pragma once

#include <QPointer>
#include <functional>

#include "layered_window.h"

namespace kivo::runtime {

class WindowSlot {
public:
    using Factory = std::function<LayeredWindow*()>;
    explicit WindowSlot(Factory make) : make_(std::move(make)) {}

    // Creates, shows (owned by `owner` when given) and raises created; or restores/activates.
    LayeredWindow* load(QWidget* owner = nullptr);
    // Closes and destroys the window; safe from a handler of the window itself.
    void unload();
    LayeredWindow* window() const { return window_.data(); }
    bool isLoaded() const { return !window_.isNull(); }

private:
    Factory make_;
    QPointer<LayeredWindow> window_;
};

}  // namespace kivo::runtime
