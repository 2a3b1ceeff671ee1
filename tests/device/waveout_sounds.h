// The sounds the wave-out tests play, shared with the Linux side that records the sound server
// while they run under Wine and checks what was heard.
#pragma once

#include <cstddef>

namespace kivo::device::test {

// 16-bit stereo at 44100 Hz in buffers of one MPEG-1 frame.
inline constexpr size_t kWaveOutBufferBytes = 4608;
inline constexpr size_t kWholeSoundFrames = 44100;  // played straight through
// Paused after kPauseAfterMs for kPauseForMs, then played to the end.
inline constexpr size_t kPausedSoundFrames = 44100 * 3 / 2;
inline constexpr int kPauseAfterMs = 500;
inline constexpr int kPauseForMs = 600;
inline constexpr size_t kResetSoundFrames = 44100 * 3;  // reset after kResetAfterMs
inline constexpr int kResetAfterMs = 300;

}  // namespace kivo::device::test
