#include "held_player.h"

#include <string>

#include "notify_messages.h"
#include "notify_window.h"
#include "play_failure.h"

namespace kivo {

HeldPlayer::HeldPlayer() {
    resolver_.bind(engineInitialise, engineLookup, engineRelease);
}

HeldPlayer::~HeldPlayer() {
    remove();
}

void HeldPlayer::play(std::string_view path, int startPercent, WindowHandle notifyWindow) {
    remove();
    if (path.empty()) return;
    // The engine's list separates paths with NUL, so a list item holding one would play as the
    // part before it. No file has such a name: the song cannot open, and ends as the engine
    // ends one that cannot.
    if (path.find('\0') != std::string_view::npos) {
        postToWindow(notifyWindow, WM_PLAYFAILED, kFailCannotOpen);
        postToWindow(notifyWindow, WM_PLAYPROGRESS, 100);
        return;
    }
    // A list of one path: the path, its NUL and the NUL that ends the list.
    std::string list(path);
    list.push_back('\0');
    list.push_back('\0');
    const auto create = resolver_.lookupAs<CreatePlayerEntry>("CreatePlayer");
    if (create == nullptr) return;
    player_ = create(list.data(), 1);
    if (player_ == nullptr) return;
    if (const auto newPlay = resolver_.lookupAs<NewPlayEntry>("NewPlay"); newPlay != nullptr) {
        newPlay(player_, notifyWindow, nullptr, startPercent);
    }
}

void HeldPlayer::pause() {
    if (player_ == nullptr) return;
    if (const auto setPause = resolver_.lookupAs<SetPauseStateEntry>("SetPauseState")) {
        setPause(player_, 1);
    }
}

int HeldPlayer::state() {
    if (player_ == nullptr) return kPlayStateIdle;
    const auto getState = resolver_.lookupAs<GetPlayStateEntry>("GetPlayState");
    return getState != nullptr ? getState(player_) : kPlayStateIdle;
}

void HeldPlayer::remove() {
    if (player_ == nullptr) return;
    if (const auto removePlayer = resolver_.lookupAs<RemovePlayerEntry>("RemovePlayer")) {
        removePlayer(player_);
    }
    player_ = nullptr;
}

}  // namespace kivo
