// Feeds arbitrary bytes to the sound clip reader: the RIFF chunks, then the clip's PCM (8 to 32
// bits) or MPEG audio (format 0x55 and 0x50) made into 16-bit PCM. The data found must lie
// inside the block, and what comes out must be whole sample frames of a format a device takes.
#include <cstdint>
#include <string_view>

#include "wave_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo::runtime;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto wave = parseWave(bytes);
    if (!wave) return 0;
    if (wave->data.data() < bytes.data() ||
        wave->data.data() + wave->data.size() > bytes.data() + bytes.size()) {
        __builtin_trap();
    }
    const auto clip = decodeWave(*wave);
    if (!clip) return 0;
    const kivo::device::WaveFormat& format = clip->format;
    if (format.bitsPerSample != 16 || format.channels < 1 || format.sampleRate <= 0 ||
        clip->pcm.empty() || clip->pcm.size() % size_t(format.blockAlign()) != 0) {
        __builtin_trap();
    }
    return 0;
}
