// Sound clips from memory: a RIFF WAVE block holding PCM, or MPEG audio Layer III (format tag
// 0x55) which our own decoder turns into PCM. A clip plays on a thread of its own through the
// device layer; the caller continues at once. A new clip replaces the one that plays.
#pragma once

#include <string>
#include <string_view>

namespace kivo::runtime {

// False when the block is no playable WAVE (nothing plays then); true once the clip has been
// handed to its thread.
bool playSound(std::string_view waveBytes, bool loop = false);

// The same for a clip in a file.
bool playSoundFile(const std::string& path, bool loop = false);

// Stops the clip that plays, if any, and waits for its thread.
void stopSound();

// Whether a clip is still playing (for tests and the end of the program).
bool soundPlaying();

}  // namespace kivo::runtime
