#include "wave_clip.h"

#include <cstring>

#include "mpeg_clip.h"

namespace kivo::runtime {

namespace {

uint16_t le16(const char* p) {
    auto* b = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}
uint32_t le32(const char* p) {
    auto* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// No sound card plays faster; a rate read from a damaged header beyond it (up to 4 GHz, or
// negative once it is an int32) is refused rather than handed to the device.
constexpr uint32_t kHighestSampleRate = 768000;

std::optional<PcmClip> pcmTo16(const WaveChunks& wave) {
    int bytesIn = wave.bitsPerSample / 8;
    if (wave.channels == 0 || wave.sampleRate == 0 || wave.sampleRate > kHighestSampleRate ||
        bytesIn < 1 || bytesIn > 4 || wave.bitsPerSample % 8 != 0) {
        return std::nullopt;
    }
    size_t frameIn = size_t(bytesIn) * wave.channels;
    size_t frames = wave.data.size() / frameIn;
    if (frames == 0) return std::nullopt;
    PcmClip clip;
    clip.format = {wave.channels, int32_t(wave.sampleRate), 16};
    clip.pcm.resize(frames * wave.channels * 2);
    const char* in = wave.data.data();
    uint8_t* out = clip.pcm.data();
    for (size_t i = 0; i < frames * wave.channels; ++i, in += bytesIn, out += 2) {
        int16_t v;
        if (bytesIn == 1) {
            v = static_cast<int16_t>((static_cast<uint8_t>(in[0]) - 128) << 8);  // unsigned
        } else {
            v = static_cast<int16_t>(le16(in + bytesIn - 2));  // the top 16 bits
        }
        out[0] = static_cast<uint8_t>(v & 0xFF);
        out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    return clip;
}

}  // namespace

std::optional<WaveChunks> parseWave(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    WaveChunks wave;
    bool haveFormat = false, haveData = false;
    size_t at = 12;
    while (bytes.size() - at >= 8 && !(haveFormat && haveData)) {
        std::string_view id = bytes.substr(at, 4);
        uint32_t size = le32(bytes.data() + at + 4);
        at += 8;
        size_t available = bytes.size() - at;
        size_t length = std::min<size_t>(size, available);
        const char* body = bytes.data() + at;
        if (id == "fmt ") {
            if (length < 16) return std::nullopt;
            wave.formatTag = le16(body);
            wave.channels = le16(body + 2);
            wave.sampleRate = le32(body + 4);
            wave.bytesPerSecond = le32(body + 8);
            wave.blockAlign = le16(body + 12);
            wave.bitsPerSample = le16(body + 14);
            if (wave.formatTag == kWaveFormatExtensible && length >= 26) {
                wave.formatTag = le16(body + 24);  // the sub-format GUID starts with the tag
            }
            haveFormat = true;
        } else if (id == "data") {
            wave.data = bytes.substr(at, length);
            haveData = true;
        }
        if (size > available) break;
        at += size + (size & 1);  // chunks are padded to even length
        if (at > bytes.size()) break;
    }
    if (!haveFormat || !haveData) return std::nullopt;
    return wave;
}

std::optional<PcmClip> decodeWave(const WaveChunks& wave) {
    switch (wave.formatTag) {
        case kWaveFormatPcm:
            return pcmTo16(wave);
        case kWaveFormatMpegLayer3:
        case kWaveFormatMpeg:
            return decodeMpeg(wave);
        default:
            return std::nullopt;
    }
}

}  // namespace kivo::runtime
