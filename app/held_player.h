// The one player the application holds, reached through the engine's entry points looked up by
// name, and the play, pause and state operations over it.
#pragma once

#include <string_view>

#include "player_entry.h"

namespace kivo {

class HeldPlayer {
public:
    HeldPlayer();
    // The player goes with its holder: its sound stops and its threads end.
    ~HeldPlayer();
    HeldPlayer(const HeldPlayer&) = delete;
    HeldPlayer& operator=(const HeldPlayer&) = delete;

    // Removes the player held so far; then, unless the path is empty, plays that one path once,
    // from `startPercent` (0: the beginning), reporting to `notifyWindow`.
    void play(std::string_view path, int startPercent, WindowHandle notifyWindow);
    void pause();
    // 1 playing, -1 paused, 0 no player, stopped or finished.
    int state();
    void remove();
    bool holdsPlayer() const { return player_ != nullptr; }

private:
    EntryResolver resolver_;
    Player* player_ = nullptr;
};

}  // namespace kivo
