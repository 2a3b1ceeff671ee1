#include "main_window_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

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

// Up and Down go to the song list as if it had the focus, so the selection moves as the
// user's own and the list tells which song is chosen.
void moveSelection(Kivo& kivo, Qt::Key key) {
    runtime::ListBox& list = *kivo.mainWindow().songList;
    list.setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&list, &press);
}

}  // namespace

void bindMainWindowKeys(Kivo& kivo) {
    onKey(kivo, Qt::Key_Space, playPauseToggle);
    onKey(kivo, Qt::Key_Left, [](Kivo& k) { quickPlay(k, -10); });
    onKey(kivo, Qt::Key_Right, [](Kivo& k) { quickPlay(k, 10); });
    onKey(kivo, Qt::Key_Up, [](Kivo& k) { moveSelection(k, Qt::Key_Up); });
    onKey(kivo, Qt::Key_Down, [](Kivo& k) { moveSelection(k, Qt::Key_Down); });
}

}  // namespace kivo
