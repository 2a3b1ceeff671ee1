// The player application: its four windows, the player it holds, and the operations that the
// handlers of every window share. All state lives in the controls of the windows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "held_player.h"
#include "main_window.h"
#include "program.h"
#include "window_loader.h"

namespace kivo {

class Kivo {
public:
    // `programDir`: the folder of the program file (the playlists live beside it). Builds the
    // main window and binds its events; nothing is shown until start().
    explicit Kivo(std::string programDir);
    ~Kivo();
    Kivo(const Kivo&) = delete;
    Kivo& operator=(const Kivo&) = delete;

    // Shows the main window and raises its created event (the start-up).
    void start();

    MainWindow& mainWindow() { return *main_; }
    // The other windows, loaded on demand; one open copy each.
    runtime::WindowSlot& animationWindow() { return animation_; }
    runtime::WindowSlot& feedbackWindow() { return feedback_; }
    runtime::WindowSlot& webPlayerWindow() { return webPlayer_; }
    HeldPlayer& player() { return player_; }
    const std::string& programDir() const { return programDir_; }

    // The running processes as the one-copy rule sees them; the system's list unless a test
    // gives another.
    using ProcessLister = std::function<std::vector<runtime::ProcessEntry>()>;
    std::vector<runtime::ProcessEntry> processes() const { return processLister_(); }
    void setProcessLister(ProcessLister lister) { processLister_ = std::move(lister); }

private:
    std::string programDir_;
    ProcessLister processLister_ = runtime::processList;
    HeldPlayer player_;
    std::unique_ptr<MainWindow> main_;
    runtime::WindowSlot animation_;
    runtime::WindowSlot feedback_;
    runtime::WindowSlot webPlayer_;
    std::shared_ptr<Kivo*> endHookTarget_;
};

// Pops the companion's balloon up beside the main window with the text.
void showCompanionMessage(Kivo& kivo, std::string_view text);

// Fills the song list from the current playlist's file.
void loadPlaylist(Kivo& kivo);
// Writes the song list to the current playlist's file; false when the file could not be
// written (it is then left as it was).
bool savePlaylist(Kivo& kivo);

// Plays the selected song from its beginning.
void playSelected(Kivo& kivo);
// Makes the selected song the current one and tells the user.
void showNowPlaying(Kivo& kivo);
// Moves on after a song has ended.
void advanceAfterSong(Kivo& kivo);

}  // namespace kivo
