// Reading a sound clip: the RIFF WAVE block and the PCM it plays as.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "device/wave_out_device.h"

namespace kivo::runtime {

inline constexpr uint16_t kWaveFormatPcm = 0x0001;
inline constexpr uint16_t kWaveFormatMpeg = 0x0050;  // Layer I or II
inline constexpr uint16_t kWaveFormatMpegLayer3 = 0x0055;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The "fmt " and "data" chunks of a RIFF WAVE block; `data` points into the block.
struct WaveChunks {
    uint16_t formatTag = 0;  // for an extensible format, the tag of its sub-format
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::string_view data;
};

// Null when the bytes are no RIFF WAVE block with both chunks. A data chunk that claims more
// bytes than the block holds is cut to what is there.
std::optional<WaveChunks> parseWave(std::string_view bytes);

// The clip as the device plays it: 16-bit PCM.
struct PcmClip {
    device::WaveFormat format;
    std::vector<uint8_t> pcm;
};

// PCM of 8, 16, 24 or 32 bits becomes 16-bit PCM; MPEG audio (Layer III, and Layer II where
// it turns up) is decoded by a decoder instance of the clip's own. Null when nothing playable
// comes out.
std::optional<PcmClip> decodeWave(const WaveChunks& wave);

}  // namespace kivo::runtime
