// The messages the engine posts to a caller's notify window, shared with the runtime that
// delivers them. lParam is always 0.
#pragma once

#include <cstdint>

namespace kivo {

// Playback progress: wParam is 0..99 while a song plays and 100 when it has ended.
inline constexpr uint32_t WM_PLAYPROGRESS = 0x8075;

}  // namespace kivo
