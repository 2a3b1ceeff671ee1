// A dialog host for tests: every question is answered from a queue and every call is
// recorded. A question with no scripted answer (or the wrong kind of answer next) is recorded
// as unexpected and answered as if cancelled.
#pragma once

#include <QPoint>
#include <deque>
#include <string>
#include <vector>

#include "dialog_host.h"

namespace kivo::runtime {

class ScriptedDialogs : public DialogHost {
public:
    enum class Kind { MessageBox, Folder, File, Menu, WebPage };

    struct Call {
        Kind kind;
        std::string text;     // message text, chooser title, filter, menu title or address
        std::string caption;  // message box caption
        uint32_t flags = 0;
        QPoint at;  // where a menu was popped up
        bool unexpected = false;
    };

    // Installs itself for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void answerMessageBox(int result);
    void answerFolder(std::string path);  // empty: cancelled
    void answerFile(std::string path);    // empty: cancelled
    // The menu item to pick, by its object name; empty: dismiss the menu.
    void answerMenu(std::string itemName);

    const std::vector<Call>& calls() const { return calls_; }
    int unexpectedCalls() const;
    // Answers scripted but never asked for.
    size_t pendingAnswers() const { return answers_.size(); }
    void clear();

    int messageBox(QWidget* owner, const std::string& text, uint32_t flags,
                   const std::string& caption) override;
    std::string browseForFolder(QWidget* owner, const std::string& title,
                                bool includeFiles) override;
    std::string openFile(QWidget* owner, const std::string& filter,
                         const std::string& title) override;
    QAction* trackMenu(QMenu* menu, QPoint at) override;
    void openWebPage(const std::string& address) override;

private:
    struct Answer {
        Kind kind;
        int result = 0;
        std::string text;
    };
    // The next answer when it is of this kind; otherwise records the call as unexpected.
    const Answer* take(Kind kind, Call call);

    std::deque<Answer> answers_;
    Answer taken_;
    std::vector<Call> calls_;
};

}  // namespace kivo::runtime
