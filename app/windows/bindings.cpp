#include "bindings.h"

#include "kivo.h"
#include "other_windows.h"
#include "playlist_store.h"
#include "start_up.h"
#include "window_behaviours.h"

namespace kivo {

namespace {

// Connects a control's event to a handler that takes the application.
template <typename Sender, typename Signal, typename Handler>
void on(Sender* sender, Signal signal, Kivo& kivo, Handler handler) {
    QObject::connect(sender, signal, sender, [&kivo, handler] { handler(kivo); });
}

}  // namespace

void bindMainWindow(Kivo& kivo) {
    MainWindow& w = kivo.mainWindow();
    using runtime::ComboBox;
    using runtime::EditBox;
    using runtime::LayeredWindow;
    using runtime::SuperBtn;

    on(&w, &LayeredWindow::created, kivo, startUp);
    on(w.playlistCombo, &ComboBox::selectionChanged, kivo, switchPlaylist);
    on(w.saveButton, &SuperBtn::clicked, kivo, confirmSavePlaylist);
    on(w.searchEdit, &EditBox::gotFocus, kivo, searchGotFocus);
    on(w.searchEdit, &EditBox::lostFocus, kivo, searchLostFocus);
    on(w.searchCloseButton, &SuperBtn::clicked, kivo, closeSearch);
    on(w.playlistToggleButton, &SuperBtn::clicked, kivo, togglePlaylistPanel);
    on(w.minimizeButton, &SuperBtn::clicked, kivo, minimiseMainWindow);
    on(w.closeButton, &SuperBtn::clicked, kivo, closeMainWindow);
}

void bindAnimationWindow(Kivo&, AnimationWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&window] { window.makeLayered(); });
}

void bindFeedbackWindow(Kivo&, FeedbackWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&window] { window.makeLayered(); });
}

void bindWebPlayerWindow(Kivo& kivo, WebPlayerWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&window] { window.makeLayered(); });
    on(window.webMinimizeButton, &runtime::SuperBtn::clicked, kivo, minimiseWebPlayer);
    on(window.webCloseButton, &runtime::SuperBtn::clicked, kivo, closeWebPlayer);
}

}  // namespace kivo
