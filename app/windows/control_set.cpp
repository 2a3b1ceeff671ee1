#include "control_set.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "color_picker.h"
#include "combo_box.h"
#include "common_dlg.h"
#include "edit_box.h"
#include "html_viewer.h"
#include "label.h"
#include "list_box.h"
#include "pic_box.h"
#include "q_tip.h"
#include "qt_text.h"
#include "shape_box.h"
#include "super_bar.h"
#include "super_btn.h"
#include "sys_volume.h"
#include "tick_timer.h"

namespace kivo {

namespace {

runtime::ComboBox* makeCombo(QWidget* parent, const ControlTemplate& control) {
    auto* combo = new runtime::ComboBox(parent);
    combo->setItems(std::vector<std::string_view>(control.items.begin(), control.items.end()));
    int shown = -1;
    for (std::size_t i = 0; i < control.items.size(); ++i) {
        if (control.items[i] == control.caption) shown = int(i);
    }
    if (shown < 0) combo->setPrompt(control.caption);
    combo->setCurrent(shown);
    return combo;
}

runtime::SuperBtn* makeButton(runtime::SuperBtn* button, const ControlTemplate& control) {
    button->setPictureOnly(control.caption.empty());
    button->setCaption(control.caption);
    if (!control.tooltip.empty()) button->setTooltip(control.tooltip);
    return button;
}

}  // namespace

ControlSet::ControlSet(QWidget& window, const WindowTemplate& layout)
    : menus_(new runtime::PopupMenus(&window)) {
    for (const ControlTemplate& control : layout.controls) {
        QObject* object = create(window, control);
        object->setObjectName(runtime::toQString(control.handle));
        object->setProperty("templateName", runtime::toQString(control.templateName));
        if (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr) {
            widget->setGeometry(control.x, control.y, control.width, control.height);
            if (!control.visible) widget->hide();
        }
        // The template's controls without a handle are kept under their template name.
        controls_.emplace(
            std::string(control.handle.empty() ? control.templateName : control.handle), object);
    }
    for (const MenuTemplate& entry : layout.menus) {
        menus_->addEntry(entry.handle, entry.menu, entry.caption, entry.checked, entry.shortcut);
    }
}

QObject* ControlSet::create(QWidget& window, const ControlTemplate& control) {
    QWidget* parent = &window;
    if (!control.container.empty()) parent = get<QWidget>(control.container);
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new runtime::Label(parent);
            label->setCaption(control.caption);
            return label;
        }
        case ControlKind::EditBox: {
            auto* edit = new runtime::EditBox(parent);
            edit->setContent(control.caption);
            return edit;
        }
        case ControlKind::PicBox:
            return new runtime::PicBox(parent);
        case ControlKind::ShapeBox:
            return new runtime::ShapeBox(parent);
        case ControlKind::ComboBox:
            return makeCombo(parent, control);
        case ControlKind::ListBox:
            return new runtime::ListBox(parent);
        case ControlKind::ColorPicker:
            return new runtime::ColorPicker(parent);
        case ControlKind::CommonDlg: {
            auto* dialog = new runtime::CommonDlg(&window);
            dialog->setParent(&window);
            dialog->setFilter(control.caption);
            return dialog;
        }
        case ControlKind::Timer:
            return new runtime::Timer(&window);
        case ControlKind::SuperBtn:
            return makeButton(new runtime::SuperBtn(parent), control);
        case ControlKind::PicBtn:
            return makeButton(new runtime::PicBtn(parent), control);
        case ControlKind::SuperBar:
            return new runtime::SuperBar(
                control.height > control.width ? Qt::Vertical : Qt::Horizontal, parent);
        case ControlKind::QTip:
            return new runtime::QTip(&window);
        case ControlKind::SysVolume:
            return new runtime::SysVolume(&window);
        case ControlKind::HtmlViewer:
            return new runtime::HtmlViewer(parent);
    }
    missing(control.handle);
}

QObject* ControlSet::find(std::string_view handle) const {
    const auto it = controls_.find(handle);
    return it == controls_.end() ? nullptr : it->second;
}

void ControlSet::missing(std::string_view handle) {
    std::fprintf(stderr, "kivo: window template has no control '%.*s' of that kind\n",
                 int(handle.size()), handle.data());
    std::abort();
}

}  // namespace kivo
