// The player application's context: its four windows and the player it holds, which every
// handler is given. All state lives in the controls of the windows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "held_player.h"
#include "main_window.h"
#include "program.h"
#include "window_loader.h"

namespace kivo {

class InstanceChannel;
class SongInfo;
class SongTooltips;

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

    // The files the program was started with: handed to a copy that runs already, or added
    // and played once the window is ready.
    const std::vector<std::string>& startFiles() const { return startFiles_; }
    void setStartFiles(std::vector<std::string> files) { startFiles_ = std::move(files); }
    // Where later copies of the program hand their files over.
    InstanceChannel& instanceChannel() { return *channel_; }
    // The songs' tags, read in the background.
    SongInfo& songInfo() { return *songInfo_; }

private:
    std::string programDir_;
    ProcessLister processLister_ = runtime::processList;
    std::vector<std::string> startFiles_;
    std::unique_ptr<InstanceChannel> channel_;
    std::unique_ptr<SongInfo> songInfo_;
    HeldPlayer player_;
    std::unique_ptr<MainWindow> main_;
    runtime::WindowSlot animation_;
    runtime::WindowSlot feedback_;
    runtime::WindowSlot webPlayer_;
    std::shared_ptr<Kivo*> endHookTarget_;
    std::unique_ptr<SongTooltips> tooltips_;
};

}  // namespace kivo
