#include "bindings.h"

#include <string>
#include <string_view>

#include "animation_show.h"
#include "colour_settings.h"
#include "companion_switches.h"
#include "help_window.h"
#include "kivo.h"
#include "main_window_keys.h"
#include "other_windows.h"
#include "outside_songs.h"
#include "play_failures.h"
#include "play_modes.h"
#include "playback_control.h"
#include "playlist_editing.h"
#include "playlist_store.h"
#include "popup_menus.h"
#include "qt_text.h"
#include "single_instance.h"
#include "song_drops.h"
#include "start_up.h"
#include "volume_panel.h"
#include "web_player.h"
#include "window_behaviours.h"

namespace kivo {

namespace {

// Connects a control's event to a handler that takes the application.
template <typename Sender, typename Signal, typename Handler>
void on(Sender* sender, Signal signal, Kivo& kivo, Handler handler) {
    QObject::connect(sender, signal, sender, [&kivo, handler] { handler(kivo); });
}

struct MenuItemHandler {
    std::string_view item;
    void (*handler)(Kivo&);
};

// The items of the main window's pop-up menus; the mode and collect items are told apart by
// their own handlers.
constexpr MenuItemHandler kMenuItems[] = {
    {"addMusicItem", addSongFile},
    {"addFolderItem", addSongFolder},
    {"playItem", playMenuItem},
    {"autoSortItem", [](Kivo& kivo) { setAutoSort(kivo, true); }},
    {"cancelSortItem", [](Kivo& kivo) { setAutoSort(kivo, false); }},
    {"deleteSelectedItem", deleteSelectedSong},
    {"clearListItem", clearPlaylist},
    {"autoSwitchListItem", toggleAutoSwitch},
};

// A menu item was clicked; it runs as an event of its own, after the pop-up.
void onMenuItem(Kivo& kivo, const std::string& item) {
    for (const MenuItemHandler& entry : kMenuItems) {
        if (entry.item == item) return entry.handler(kivo);
    }
    if (!setPlayMode(kivo, item)) collectToPlaylist(kivo, item);
}

}  // namespace

void bindMainWindow(Kivo& kivo) {
    MainWindow& w = kivo.mainWindow();
    using runtime::ComboBox;
    using runtime::EditBox;
    using runtime::Label;
    using runtime::LayeredWindow;
    using runtime::ListBox;
    using runtime::SuperBar;
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

    on(w.playButton, &SuperBtn::clicked, kivo, playPauseToggle);
    on(w.previousButton, &SuperBtn::clicked, kivo, previousSong);
    on(w.nextButton, &SuperBtn::clicked, kivo, nextSong);
    on(w.locateButton, &SuperBtn::clicked, kivo, locateCurrentSong);
    on(w.progressBar, &SuperBar::stepBackward, kivo, [](Kivo& k) { quickPlay(k, -10); });
    on(w.progressBar, &SuperBar::stepForward, kivo, [](Kivo& k) { quickPlay(k, 10); });
    on(w.progressBar, &SuperBar::leftButtonReleased, kivo, [](Kivo& k) { quickPlay(k, 10); });
    QObject::connect(w.nowPlayingLabel, &Label::progress, w.nowPlayingLabel,
                     [&kivo](int percent) { onPlayProgress(kivo, percent); });
    QObject::connect(w.nowPlayingLabel, &Label::playFailed, w.nowPlayingLabel,
                     [&kivo](int reason) { onPlayFailed(kivo, reason); });
    on(w.songList, &ListBox::selectionChanged, kivo, songSelectionChanged);
    on(w.songList, &ListBox::doubleClicked, kivo, songDoubleClicked);
    QObject::connect(w.songList, &ListBox::keyPressed, w.songList,
                     [&kivo](int keyCode) { songKeyPressed(kivo, keyCode); });
    on(w.songList, &ListBox::rightButtonReleased, kivo, showSongMenu);
    on(w.addButton, &SuperBtn::clicked, kivo, showAddMenu);
    on(w.deleteButton, &SuperBtn::clicked, kivo, deleteSelectedSong);
    on(w.clearButton, &SuperBtn::clicked, kivo, clearPlaylist);
    on(w.searchButton, &SuperBtn::clicked, kivo, showSearch);
    on(w.searchEdit, &EditBox::contentChanged, kivo, searchSongs);
    on(w.modeButton, &SuperBtn::clicked, kivo, showModeMenu);
    QObject::connect(
        &w.menus(), &runtime::PopupMenus::itemClicked, &w,
        [&kivo](const QString& item) { onMenuItem(kivo, runtime::fromQString(item)); });

    on(w.volumeButton, &SuperBtn::clicked, kivo, toggleVolumeSetting);
    on(w.volumeSlider, &SuperBar::positionChanged, kivo, volumePositionChanged);
    on(w.muteButton, &SuperBtn::clicked, kivo, toggleMute);
    on(w.tipsButton, &SuperBtn::clicked, kivo, toggleMessages);
    on(w.animationButton, &SuperBtn::clicked, kivo, toggleAnimation);
    on(w.helpButton, &SuperBtn::clicked, kivo, openHelpWindow);
    on(w.kugouButton, &SuperBtn::clicked, kivo, openWebPlayer);
    on(w.colorItemCombo, &ComboBox::selectionChanged, kivo, colourItemChosen);
    on(w.colorPicker, &runtime::ColorPicker::colourChosen, kivo, colourChosen);

    // From outside the windows: the keyboard, files dropped on the list, later copies.
    bindMainWindowKeys(kivo);
    new SongDrops(kivo);
    QObject::connect(
        &kivo.instanceChannel(), &InstanceChannel::filesHandedOver, &w,
        [&kivo](const std::vector<std::string>& files) { openOutsideSongs(kivo, files); });
}

void bindAnimationWindow(Kivo& kivo, AnimationWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&kivo, &window] { animationWindowCreated(kivo, window); });
    QObject::connect(window.jokeTimer, &runtime::Timer::tick, &window,
                     [&kivo, &window] { playJokeSequence(kivo, window); });
}

void bindFeedbackWindow(Kivo& kivo, FeedbackWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&window] { window.makeLayered(); });
    on(window.aboutButton, &runtime::SuperBtn::clicked, kivo, showAbout);
    on(window.moreButton, &runtime::SuperBtn::clicked, kivo, showMore);
    on(window.spaceButton, &runtime::SuperBtn::clicked, kivo, openSpacePage);
    on(window.sinaWeiboButton, &runtime::SuperBtn::clicked, kivo, openSinaWeiboPage);
    on(window.tencentWeiboButton, &runtime::SuperBtn::clicked, kivo, openTencentWeiboPage);
    on(window.feedbackCancelButton, &runtime::SuperBtn::clicked, kivo, cancelHelp);
}

void bindWebPlayerWindow(Kivo& kivo, WebPlayerWindow& window) {
    QObject::connect(&window, &runtime::LayeredWindow::created, &window,
                     [&kivo, &window] { webPlayerCreated(kivo, window); });
    on(window.webMinimizeButton, &runtime::SuperBtn::clicked, kivo, minimiseWebPlayer);
    on(window.webCloseButton, &runtime::SuperBtn::clicked, kivo, closeWebPlayer);
}

}  // namespace kivo
