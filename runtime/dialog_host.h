// Everything that asks the person at the screen something, or hands work to the desktop,
// goes through one host: message boxes, the folder chooser, the file-open dialog, pop-up
// menus and web pages. The program uses the Qt host; a test installs a host of its own that
// answers from a script, so every handler runs without a person.
#pragma once

#include <QPoint>
#include <cstdint>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace kivo::runtime {

// Message box flags (the low nibble: buttons; 0x70: icon) and results.
enum MessageBoxFlags : uint32_t {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbAbortRetryIgnore = 0x2,
    kMbYesNoCancel = 0x3,
    kMbYesNo = 0x4,
    kMbRetryCancel = 0x5,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
    kMbSystemModal = 0x1000,
};
enum MessageBoxResult : int {
    kIdOk = 0,
    kIdCancel = 1,
    kIdAbort = 2,
    kIdRetry = 3,
    kIdIgnore = 4,
    kIdYes = 5,
    kIdNo = 6,
};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // A modal box over every window of the program; one of MessageBoxResult.
    virtual int messageBox(QWidget* owner, const std::string& text, uint32_t flags,
                           const std::string& caption) = 0;
    // The chosen folder, or empty when cancelled. Every window is blocked while it is open.
    virtual std::string browseForFolder(QWidget* owner, const std::string& title,
                                        bool includeFiles) = 0;
    // The chosen file, or empty when cancelled. `filter` is "description|pattern;pattern|...".
    virtual std::string openFile(QWidget* owner, const std::string& filter,
                                 const std::string& title) = 0;
    // Tracks the menu at the screen point; returns the item picked, or null. The item's click
    // is delivered afterwards as an event of its own.
    virtual QAction* trackMenu(QMenu* menu, QPoint at) = 0;
    // Hands the address to the desktop's default browser.
    virtual void openWebPage(const std::string& address) = 0;
};

// The host in use: the Qt host unless a test has installed another.
DialogHost& dialogHost();
// Installs a host (null restores the Qt host); the caller keeps it alive while installed.
void setDialogHost(DialogHost* host);

// The operations as the application calls them.
int messageBox(const std::string& text, uint32_t flags = kMbOk, const std::string& caption = {});
std::string browseForFolder(const std::string& title, bool includeFiles = false);
void openWebPage(const std::string& address);
// Pops the menu up at the mouse position moved 3 pixels right and down.
void popupMenu(QMenu* menu);

}  // namespace kivo::runtime
