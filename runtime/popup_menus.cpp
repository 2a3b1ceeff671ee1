#include "popup_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "dialog_host.h"
#include "qt_text.h"

namespace kivo::runtime {

namespace {
// The checked mark as written by the program; a click must not change it.
constexpr char kMark[] = "kivoChecked";

// Only a marked item is checkable, so an unmarked one shows no empty box: as in a classic
// menu, the mark alone is drawn.
void showMark(QAction* action, bool marked) {
    action->setProperty(kMark, marked);
    action->setCheckable(marked);
    action->setChecked(marked);
}
}  // namespace

PopupMenus::PopupMenus(QWidget* window) : QObject(window), window_(window) {}

// The menus are children of the window and go with it.
PopupMenus::~PopupMenus() = default;

void PopupMenus::addEntry(std::string_view handle, std::string_view menu, std::string_view caption,
                          bool checked, std::string_view shortcut) {
    QString text = toQString(caption);
    QString name = toQString(handle);
    if (menu.empty()) {
        auto* top = new QMenu(text, window_);
        top->setObjectName(name);
        menus_.emplace(std::string(handle), top);
        return;
    }
    auto parent = menus_.find(menu);
    if (parent == menus_.end()) {
        // The holder was added as an item: it becomes a sub-menu now.
        auto asItem = items_.find(menu);
        if (asItem == items_.end()) return;
        auto* sub = new QMenu(asItem->second->text(), window_);
        sub->setObjectName(asItem->second->objectName());
        asItem->second->setCheckable(false);
        asItem->second->setMenu(sub);
        parent = menus_.emplace(std::string(menu), sub).first;
    }
    if (handle.empty() && caption.empty()) {
        parent->second->addSeparator();
        return;
    }
    QAction* action = parent->second->addAction(text);
    action->setObjectName(name);
    showMark(action, checked);
    if (!shortcut.empty()) {
        action->setShortcut(QKeySequence(toQString(shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        window_->addAction(action);  // a hidden menu listens for no keys itself
    }
    connect(action, &QAction::triggered, this, [this, action, name] {
        if (action->menu()) return;
        showMark(action, action->property(kMark).toBool());
        if (tracking_) {
            picked_ = name;  // posted once the menu has closed, by popUp
        } else {
            postClick(name);  // a shortcut
        }
    });
    items_.emplace(std::string(handle), action);
}

QMenu* PopupMenus::menu(std::string_view handle) const {
    auto it = menus_.find(handle);
    return it == menus_.end() ? nullptr : it->second;
}

QAction* PopupMenus::item(std::string_view handle) const {
    return entry(handle);
}

QAction* PopupMenus::entry(std::string_view handle) const {
    auto it = items_.find(handle);
    return it == items_.end() ? nullptr : it->second;
}

// The click runs as an event of its own, after the handler that popped the menu. Posted from
// inside the menu, the menu's own event loop could deliver it before that handler goes on (the
// song menu's message then covered the picked item's and named no song): it is posted only
// once the menu has closed.
void PopupMenus::popUp(std::string_view menuHandle) {
    tracking_ = true;
    picked_.clear();
    popupMenu(menu(menuHandle));
    tracking_ = false;
    if (!picked_.isEmpty()) postClick(picked_);
}

void PopupMenus::postClick(const QString& handle) {
    QMetaObject::invokeMethod(
        this, [this, handle] { emit itemClicked(handle); }, Qt::QueuedConnection);
}

void PopupMenus::setChecked(std::string_view handle, bool checked) {
    if (QAction* a = entry(handle)) showMark(a, checked);
}

bool PopupMenus::isChecked(std::string_view handle) const {
    QAction* a = entry(handle);
    return a && a->property(kMark).toBool();
}

void PopupMenus::setVisible(std::string_view handle, bool visible) {
    if (QAction* a = entry(handle)) a->setVisible(visible);
}

bool PopupMenus::isVisible(std::string_view handle) const {
    QAction* a = entry(handle);
    return a && a->isVisible();
}

}  // namespace kivo::runtime
