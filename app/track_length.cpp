#include "track_length.h"

#include <span>

#include "files.h"
#include "frame_walker.h"
#include "gapless_trim.h"
#include "id3_tags.h"
#include "mpeg/frame_length.h"

namespace kivo {

namespace {

// Layer III at the low sampling frequencies has one granule per frame.
int64_t samplesPerFrame(const FrameHeader& header) {
    return header.layerCode == 1 && header.id == 0 ? 576 : 1152;
}

}  // namespace

int64_t trackLengthMicroseconds(const std::string& path) {
    const std::string file = runtime::readWholeFile(path);
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    size_t start = size_t(std::min<uint64_t>(id3v2TagLength(bytes, file.size()), file.size()));
    size_t end = file.size();
    if (end - start >= kId3v1Bytes &&
        endsWithId3v1(bytes + end - kId3v1Bytes, kId3v1Bytes, file.size())) {
        end -= kId3v1Bytes;
    }
    FrameWalker walker(std::span<const uint8_t>(bytes + start, end - start));
    if (!walker.findStream()) return 0;
    const int64_t rate = mpeg::sampleRateOf(walker.header());
    if (rate <= 0) return 0;
    int64_t samples = 0;
    // The Xing frame at the start describes the stream and plays nothing.
    bool first = true;
    while (const auto header = walker.skipFrame()) {
        if (!(first && walker.xing())) samples += samplesPerFrame(*header);
        first = false;
    }
    // What the encoder added is not played.
    if (const auto gap = encoderGapOf(walker.xing());
        gap && walker.header().layerCode == mpeg::kLayerIII) {
        samples = std::max<int64_t>(
            samples - walker.xing()->encoderDelay - walker.xing()->encoderPadding, 0);
    }
    return samples * 1000000 / rate;
}

}  // namespace kivo
