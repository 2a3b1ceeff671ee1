// A layered top-level window built from its template: place, size, controls, menus and the
// template pictures. The window owns all of them.
#pragma once

#include "control_set.h"
#include "layered_window.h"
#include "window_template.h"

namespace kivo {

class TemplateWindow : public runtime::LayeredWindow {
    Q_OBJECT
public:
    TemplateWindow(const WindowTemplate& layout, QWidget* owner);

    const ControlSet& controls() const { return controls_; }
    runtime::PopupMenus& menus() const { return controls_.menus(); }

protected:
    ControlSet controls_;
};

}  // namespace kivo
