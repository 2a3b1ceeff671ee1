// The messages the engine posts to a caller's notify window, shared with the runtime that
// delivers them. lParam is always 0.
#pragma once

#include <cstdint>

namespace kivo {

// Playback progress: wParam is 0..99 while a song plays and 100 when it has ended. The
// percentage is the position heard: it follows what the sound device has played, not what has
// been decoded ahead of it.
inline constexpr uint32_t WM_PLAYPROGRESS = 0x8075;
// A song cannot play, or stopped on an error: wParam is a PlayFailure (play_failure.h). It
// always comes just before that song's WM_PLAYPROGRESS 100, so a window that reads only the
// progress still sees the song end, and one that reads both knows the end was a failure.
inline constexpr uint32_t WM_PLAYFAILED = 0x8076;

}  // namespace kivo
