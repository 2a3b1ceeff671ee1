// The hidden menus of a window, used only as pop-ups. Items are addressed by handle; their
// checked marks change only when written (a click does not toggle them), and a click reaches
// itemClicked as an event of its own, after the handler that popped the menu has returned.
#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <string>
#include <string_view>

class QAction;
class QMenu;
class QWidget;

namespace kivo::runtime {

class PopupMenus : public QObject {
    Q_OBJECT
public:
    // `window`: owns the menus and listens for their shortcuts.
    explicit PopupMenus(QWidget* window);
    ~PopupMenus() override;

    // Adds one entry to `menu` (empty: a top-level menu). An entry without handle and caption
    // is a separator; an entry whose handle later serves as `menu` becomes a sub-menu.
    // `shortcut` is Qt's portable key text, e.g. "Ctrl+D".
    void addEntry(std::string_view handle, std::string_view menu, std::string_view caption,
                  bool checked = false, std::string_view shortcut = {});

    QMenu* menu(std::string_view handle) const;
    QAction* item(std::string_view handle) const;

    void popUp(std::string_view menuHandle);
    void setChecked(std::string_view handle, bool checked);
    bool isChecked(std::string_view handle) const;
    void setVisible(std::string_view handle, bool visible);
    bool isVisible(std::string_view handle) const;

signals:
    void itemClicked(const QString& handle);

private:
    QAction* entry(std::string_view handle) const;
    void postClick(const QString& handle);

    QWidget* window_;
    bool tracking_ = false;  // a menu is open in popUp
    QString picked_;         // the item picked there
    std::map<std::string, QMenu*, std::less<>> menus_;
    std::map<std::string, QAction*, std::less<>> items_;
};

}  // namespace kivo::runtime
