// The controls of one window, built from its template and found by handle. Every control
// carries its handle as object name and its template name as the property "templateName".
#pragma once

#include <QObject>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "popup_menus.h"
#include "window_template.h"

namespace kivo {

class ControlSet {
public:
    // Creates every control and menu of `layout` inside `window`, which owns them.
    ControlSet(QWidget& window, const WindowTemplate& layout);

    QObject* find(std::string_view handle) const;
    // The control of that handle and kind; the template guarantees both, so a mismatch is a
    // programming error caught at start.
    template <typename T>
    T* get(std::string_view handle) const {
        T* control = qobject_cast<T*>(find(handle));
        if (control == nullptr) missing(handle);
        return control;
    }
    runtime::PopupMenus& menus() const { return *menus_; }

private:
    QObject* create(QWidget& window, const ControlTemplate& control);
    [[noreturn]] static void missing(std::string_view handle);

    std::map<std::string, QObject*, std::less<>> controls_;
    runtime::PopupMenus* menus_;
};

}  // namespace kivo
