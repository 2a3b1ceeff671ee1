// MPEG audio inside a WAVE clip, decoded by an instance of the decoder of the clip's own, so
// that a clip never disturbs the player's decoder.
#include <algorithm>
#include <memory>

#include "mpeg/decoder.h"
#include "mpeg/frame_length.h"
#include "wave_clip.h"

namespace kivo::runtime {

namespace {

// The first offset from `at` where a frame header of the stream's layer can begin.
size_t findFrame(std::string_view data, size_t at) {
    for (; at + 4 <= data.size(); ++at) {
        auto* b = reinterpret_cast<const uint8_t*>(data.data() + at);
        if (!mpeg::isFrameSync(b[0], b[1])) continue;
        mpeg::FrameHeader h = mpeg::parseFrameHeader(b);
        if ((h.layerCode == 1 || h.layerCode == 2) && mpeg::frameLengthOf(h) > 0) return at;
    }
    return data.size();
}

}  // namespace

std::optional<PcmClip> decodeMpeg(const WaveChunks& wave) {
    std::string_view data = wave.data;
    size_t at = findFrame(data, 0);
    if (at >= data.size()) return std::nullopt;
    auto* first = reinterpret_cast<const uint8_t*>(data.data() + at);
    mpeg::FrameHeader header = mpeg::parseFrameHeader(first);
    auto decoder = std::make_unique<mpeg::MpegDecoder>();  // tens of KiB: not on the stack
    if (!decoder->init(header, mpeg::frameLengthOf(header), 0, 0, 0, 24000)) return std::nullopt;
    mpeg::PcmFormat format{};
    decoder->getFormat(&format);
    if (format.channels < 1 || format.channels > 2 || format.sampleRate <= 0) return std::nullopt;

    PcmClip clip;
    clip.format = {format.channels, format.sampleRate, 16};
    std::vector<uint8_t> block(std::max<size_t>(1152 * 2, size_t(format.valuesPerFrame)) *
                               sizeof(int16_t));
    while (at < data.size()) {
        auto* frame = reinterpret_cast<const uint8_t*>(data.data() + at);
        uint64_t r = decoder->decodeFrame(frame, data.size() - at, block.data());
        uint32_t used = mpeg::consumedBytes(r);
        uint32_t made = std::min<uint32_t>(mpeg::producedBytes(r), uint32_t(block.size()));
        if (used == 0) {
            at = findFrame(data, at + 1);  // damaged frame or junk: on to the next header
            continue;
        }
        clip.pcm.insert(clip.pcm.end(), block.begin(), block.begin() + made);
        at += used;
    }
    if (clip.pcm.empty()) return std::nullopt;
    return clip;
}

}  // namespace kivo::runtime
