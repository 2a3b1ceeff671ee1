#include "main_window_keys.h"

#include <QShortcut>
#include <algorithm>

#include "kivo.h"
#include "playback_control.h"

namespace kivo {

namespace {

// Window-wide keys. A field that types text takes its keys first: a space or an arrow in the
// search field stays there.
void onKey(Kivo& kivo, QKeySequence key, void (*handler)(Kivo&)) {
    auto* shortcut = new QShortcut(key, &kivo.mainWindow());
    shortcut->setContext(Qt::WindowShortcut);
    // Held, only the moves through the list repeat.
    shortcut->setAutoRepeat(key == QKeySequence(Qt::Key_Up) || key == QKeySequence(Qt::Key_Down));
    QObject::connect(shortcut, &QShortcut::activated, shortcut,
                     [&kivo, handler] { handler(kivo); });
}

// Up and Down move the song list's selection as the list's own keys do: a move of the user,
// so the list tells which song is chosen.
void moveSelection(Kivo& kivo, int step) {
    runtime::ListBox& list = *kivo.mainWindow().songList;
    if (list.itemCount() == 0) return;
    list.setFocus();
    const int from = list.currentRow();
    list.setCurrentRow(from < 0 ? 0 : std::clamp(from + step, 0, list.itemCount() - 1));
}

}  // namespace

void bindMainWindowKeys(Kivo& kivo) {
    onKey(kivo, Qt::Key_Space, playPauseToggle);
    onKey(kivo, Qt::Key_Left, [](Kivo& k) { quickPlay(k, -10); });
    onKey(kivo, Qt::Key_Right, [](Kivo& k) { quickPlay(k, 10); });
    onKey(kivo, Qt::Key_Up, [](Kivo& k) { moveSelection(k, -1); });
    onKey(kivo, Qt::Key_Down, [](Kivo& k) { moveSelection(k, 1); });
}

}  // namespace kivo
