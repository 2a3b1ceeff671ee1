// The engine as its callers reach it: six entry points looked up by name through an
// EntryResolver, and the messages posted to the caller's window (notify_messages.h).
#pragma once

#include <cstdint>

#include "notify_messages.h"
#include "notify_window.h"
#include "play_failure.h"

namespace kivo {

class Player;

// What GetPlayState answers.
inline constexpr int32_t kPlayStatePlaying = 1;
inline constexpr int32_t kPlayStatePaused = -1;
inline constexpr int32_t kPlayStateIdle = 0;

extern "C" {
// A player for a list of NUL-terminated paths ended by one more NUL; a repeat count of 0 (or
// less) repeats the list without end. Null when memory runs out.
Player* CreatePlayer(const char* fileList, int32_t repeatCount);
// Starts the path at the cursor (from the start percentage when it is not 0), or resumes a
// paused player. `reserved` is always null.
void NewPlay(Player* player, WindowHandle notifyWindow, void* reserved, int32_t startPercent);
// NewPlay without a window and from the beginning.
void Play(Player* player);
// Nonzero pauses a playing player, 0 resumes a paused one.
void SetPauseState(Player* player, int32_t pause);
// kPlayStatePlaying, kPlayStatePaused or kPlayStateIdle.
int32_t GetPlayState(Player* player);
// Stops everything the player runs and frees it.
void RemovePlayer(Player* player);
}

using CreatePlayerEntry = Player* (*)(const char*, int32_t);
using NewPlayEntry = void (*)(Player*, WindowHandle, void*, int32_t);
using PlayEntry = void (*)(Player*);
using SetPauseStateEntry = void (*)(Player*, int32_t);
using GetPlayStateEntry = int32_t (*)(Player*);
using RemovePlayerEntry = void (*)(Player*);

// An entry point as the lookup returns it; the caller converts it to the entry's type.
using EntryPoint = void (*)();

// How a caller reaches the entries: it binds the three functions of a component once and then
// looks entries up by name before each call.
class EntryResolver {
public:
    using InitialiseFunction = int32_t (*)();  // nonzero on success
    using LookupFunction = EntryPoint (*)(const char* name);
    using ReleaseFunction = void (*)();

    // Binding again releases a component that was initialised before. A null initialise or
    // lookup function leaves the resolver unbound.
    void bind(InitialiseFunction initialise, LookupFunction lookup, ReleaseFunction release);
    // The first lookup initialises the component; if that fails, every lookup yields null.
    EntryPoint lookup(const char* name);
    template <typename Entry>
    Entry lookupAs(const char* name) {
        return reinterpret_cast<Entry>(lookup(name));
    }

private:
    InitialiseFunction initialise_ = nullptr;
    LookupFunction lookup_ = nullptr;
    ReleaseFunction release_ = nullptr;
    bool initialised_ = false;
};

// The engine's side of the binding.
int32_t engineInitialise();
EntryPoint engineLookup(const char* name);
void engineRelease();

}  // namespace kivo
