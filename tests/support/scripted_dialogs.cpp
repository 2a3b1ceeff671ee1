#include "scripted_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <algorithm>

namespace kivo::runtime {

namespace {

// The item of `menu` or of its sub-menus with this object name.
QAction* findItem(QMenu* menu, const QString& name) {
    for (QAction* action : menu->actions()) {
        if (action->objectName() == name) return action;
        if (QMenu* sub = action->menu()) {
            if (QAction* found = findItem(sub, name)) return found;
        }
    }
    return nullptr;
}

}  // namespace

ScriptedDialogs::ScriptedDialogs() {
    setDialogHost(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    setDialogHost(nullptr);
}

void ScriptedDialogs::answerMessageBox(int result) {
    answers_.push_back({Kind::MessageBox, result, {}});
}
void ScriptedDialogs::answerFolder(std::string path) {
    answers_.push_back({Kind::Folder, 0, std::move(path)});
}
void ScriptedDialogs::answerFile(std::string path) {
    answers_.push_back({Kind::File, 0, std::move(path)});
}
void ScriptedDialogs::answerMenu(std::string itemName) {
    answers_.push_back({Kind::Menu, 0, std::move(itemName)});
}

int ScriptedDialogs::unexpectedCalls() const {
    return static_cast<int>(
        std::count_if(calls_.begin(), calls_.end(), [](const Call& c) { return c.unexpected; }));
}

void ScriptedDialogs::clear() {
    answers_.clear();
    calls_.clear();
}

const ScriptedDialogs::Answer* ScriptedDialogs::take(Kind kind, Call call) {
    call.kind = kind;
    if (answers_.empty() || answers_.front().kind != kind) {
        call.unexpected = true;
        calls_.push_back(std::move(call));
        return nullptr;
    }
    calls_.push_back(std::move(call));
    taken_ = std::move(answers_.front());
    answers_.pop_front();
    return &taken_;
}

int ScriptedDialogs::messageBox(QWidget*, const std::string& text, uint32_t flags,
                                const std::string& caption) {
    const Answer* a = take(Kind::MessageBox, {Kind::MessageBox, text, caption, flags, {}});
    if (a) return a->result;
    return (flags & 0xF) == kMbYesNo ? kIdNo : (flags & 0xF) == kMbOk ? kIdOk : kIdCancel;
}

std::string ScriptedDialogs::browseForFolder(QWidget*, const std::string& title, bool) {
    const Answer* a = take(Kind::Folder, {Kind::Folder, title, {}, 0, {}});
    return a ? a->text : std::string();
}

std::string ScriptedDialogs::openFile(QWidget*, const std::string& filter, const std::string&) {
    const Answer* a = take(Kind::File, {Kind::File, filter, {}, 0, {}});
    return a ? a->text : std::string();
}

QAction* ScriptedDialogs::trackMenu(QMenu* menu, QPoint at) {
    const Answer* a = take(Kind::Menu, {Kind::Menu, menu->title().toStdString(), {}, 0, at});
    if (!a || a->text.empty()) return nullptr;
    QAction* item = findItem(menu, QString::fromStdString(a->text));
    // A real menu delivers the pick as a trigger, and its own event loop may then still handle
    // posted events before it returns; so does the script.
    if (item && item->isEnabled() && item->isVisible()) {
        item->trigger();
        QCoreApplication::processEvents();
        return item;
    }
    return nullptr;
}

void ScriptedDialogs::openWebPage(const std::string& address) {
    calls_.push_back({Kind::WebPage, address, {}, 0, {}, false});
}

}  // namespace kivo::runtime
