// MPEG audio inside a WAVE clip, followed by the engine's frame walker (the stream rules the
// player follows) and decoded by a decoder of the clip's own, so that a clip never disturbs the
// player's decoder.
#include "mpeg_clip.h"

#include <algorithm>
#include <memory>
#include <span>

#include "frame_walker.h"
#include "mpeg/decoder.h"

namespace kivo::runtime {

std::optional<PcmClip> decodeMpeg(const WaveChunks& wave) {
    FrameWalker walker(
        std::span(reinterpret_cast<const uint8_t*>(wave.data.data()), wave.data.size()));
    if (!walker.findStream()) return std::nullopt;
    auto decoder = std::make_unique<mpeg::MpegDecoder>();  // tens of KiB: not on the stack
    if (!walker.initDecoder(*decoder)) return std::nullopt;
    const mpeg::PcmFormat format = decoder->format();
    if (format.channels < 1 || format.channels > 2 || format.sampleRate <= 0) return std::nullopt;

    PcmClip clip;
    clip.format = {format.channels, format.sampleRate, 16};
    std::vector<uint8_t> block(std::max<size_t>(1152 * 2, size_t(format.valuesPerFrame)) *
                               sizeof(int16_t));
    for (int64_t made; (made = walker.decodeNext(*decoder, block.data())) >= 0;) {
        const size_t bytes = std::min(static_cast<size_t>(made), block.size());
        clip.pcm.insert(clip.pcm.end(), block.begin(), block.begin() + std::ptrdiff_t(bytes));
    }
    if (clip.pcm.empty()) return std::nullopt;
    return clip;
}

}  // namespace kivo::runtime
