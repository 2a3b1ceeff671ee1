#include "held_player.h"

#include <string>

namespace kivo {

namespace {

template <typename Entry>
Entry entry([[maybe_unused]] EntryResolver& resolver, [[maybe_unused]] const char* name) {
#if KIVO_HAVE_ENGINE_ENTRIES
    return resolver.lookupAs<Entry>(name);
#else
    return nullptr;
#endif
}

}  // namespace

// KIVO_HAVE_ENGINE_ENTRIES is set by the build once the engine defines its entry points; until
// then no player is ever made and every operation is a no-op.
HeldPlayer::HeldPlayer() {
#if KIVO_HAVE_ENGINE_ENTRIES
    resolver_.bind(engineInitialise, engineLookup, engineRelease);
#endif
}

HeldPlayer::~HeldPlayer() {
    remove();
}

void HeldPlayer::play(std::string_view path, int startPercent, WindowHandle notifyWindow) {
    remove();
    if (path.empty()) return;
    // A list of one path: the path, its NUL and the NUL that ends the list.
    std::string list(path);
    list.push_back('\0');
    list.push_back('\0');
    const auto create = entry<CreatePlayerEntry>(resolver_, "CreatePlayer");
    if (create == nullptr) return;
    player_ = create(list.data(), 1);
    if (player_ == nullptr) return;
    if (const auto newPlay = entry<NewPlayEntry>(resolver_, "NewPlay"); newPlay != nullptr) {
        newPlay(player_, notifyWindow, nullptr, startPercent);
    }
}

void HeldPlayer::pause() {
    if (player_ == nullptr) return;
    if (const auto setPause = entry<SetPauseStateEntry>(resolver_, "SetPauseState")) {
        setPause(player_, 1);
    }
}

int HeldPlayer::state() {
    if (player_ == nullptr) return kPlayStateIdle;
    const auto getState = entry<GetPlayStateEntry>(resolver_, "GetPlayState");
    return getState != nullptr ? getState(player_) : kPlayStateIdle;
}

void HeldPlayer::remove() {
    if (player_ == nullptr) return;
    if (const auto removePlayer = entry<RemovePlayerEntry>(resolver_, "RemovePlayer")) {
        removePlayer(player_);
    }
    player_ = nullptr;
}

}  // namespace kivo
