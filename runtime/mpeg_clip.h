// The MPEG audio of a WAVE clip, decoded apart from the player.
#pragma once

#include <optional>

#include "wave_clip.h"

namespace kivo::runtime {

// The clip's MPEG audio as PCM; nothing when it holds none that decodes.
std::optional<PcmClip> decodeMpeg(const WaveChunks& wave);

}  // namespace kivo::runtime
