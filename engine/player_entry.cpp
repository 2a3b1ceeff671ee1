#include "player_entry.h"

#include <cstring>

#include "player.h"

namespace kivo {

extern "C" {

Player* CreatePlayer(const char* fileList, int32_t repeatCount) {
    return Player::create(fileList, repeatCount);
}

void NewPlay(Player* player, WindowHandle notifyWindow, void*, int32_t startPercent) {
    if (player) player->newPlay(notifyWindow, startPercent);
}

void Play(Player* player) {
    NewPlay(player, 0, nullptr, 0);
}

void SetPauseState(Player* player, int32_t pause) {
    if (player) player->setPauseState(pause);
}

int32_t GetPlayState(Player* player) {
    if (!player) return kPlayStateIdle;
    switch (player->state()) {
        case kPlayerPlaying:
            return kPlayStatePlaying;
        case kPlayerPaused:
            return kPlayStatePaused;
        default:
            return kPlayStateIdle;
    }
}

void RemovePlayer(Player* player) {
    delete player;
}

}  // extern "C"

int32_t engineInitialise() {
    return 1;
}

void engineRelease() {}

EntryPoint engineLookup(const char* name) {
    struct Entry {
        const char* name;
        EntryPoint entry;
    };
    static const Entry entries[] = {
        {"CreatePlayer", reinterpret_cast<EntryPoint>(&CreatePlayer)},
        {"NewPlay", reinterpret_cast<EntryPoint>(&NewPlay)},
        {"Play", reinterpret_cast<EntryPoint>(&Play)},
        {"GetPlayState", reinterpret_cast<EntryPoint>(&GetPlayState)},
        {"SetPauseState", reinterpret_cast<EntryPoint>(&SetPauseState)},
        {"RemovePlayer", reinterpret_cast<EntryPoint>(&RemovePlayer)},
    };
    if (!name) return nullptr;
    for (const Entry& e : entries) {
        if (std::strcmp(e.name, name) == 0) return e.entry;
    }
    return nullptr;
}

void EntryResolver::bind(InitialiseFunction initialise, LookupFunction lookup,
                         ReleaseFunction release) {
    if (initialised_ && release_) release_();
    initialised_ = false;
    if (!initialise || !lookup) {
        initialise_ = nullptr;
        lookup_ = nullptr;
        release_ = nullptr;
        return;
    }
    initialise_ = initialise;
    lookup_ = lookup;
    release_ = release;
}

EntryPoint EntryResolver::lookup(const char* name) {
    if (initialise_) {
        const int32_t ok = initialise_();
        initialise_ = nullptr;
        initialised_ = true;
        if (ok == 0) {
            lookup_ = nullptr;
            release_ = nullptr;
        }
    }
    return lookup_ ? lookup_(name) : nullptr;
}

}  // namespace kivo
