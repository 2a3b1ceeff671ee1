#include "song_length.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio_span.h"
#include "frame_walker.h"
#include "mpeg/frame_length.h"

namespace kivo {

namespace {
// Enough for the stream search and a Xing header behind some junk, and for a fair sample of
// frame lengths.
constexpr size_t kHeadBytes = 1 << 16;

// The mean length of the frames whole in the head: with a variable bitrate (and no frame
// count to go by) the first frame alone is a poor guide.
double meanFrameLength(FrameWalker& walker) {
    if (walker.xing()) walker.skipHeaderFrame();
    const size_t start = walker.position();
    size_t end = start;
    int frames = 0;
    while (walker.skipFrame()) {
        end = walker.position();
        ++frames;
    }
    return frames > 0 ? static_cast<double>(end - start) / frames : walker.frameLength();
}
}  // namespace

double songSeconds(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return -1;
    const AudioSpan audio = measureAudioSpan(file.get());
    std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(audio.size(), kHeadBytes)));
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    FrameWalker walker(head);
    if (!walker.findStream() || walker.frameLength() <= 0) return -1;
    const FrameHeader& h = walker.header();
    const auto& xing = walker.xing();
    const double frames =
        xing && (xing->flags & kXingFrames)
            ? xing->frames
            : std::floor(static_cast<double>(audio.size()) / meanFrameLength(walker));
    // Layer III at low sampling frequencies has one granule per frame.
    const int samplesPerFrame = h.layerCode == mpeg::kLayerIII && h.id == 0 ? 576 : 1152;
    double samples = frames * samplesPerFrame;
    // What the encoder added is not played.
    if (xing && h.layerCode == mpeg::kLayerIII && xing->encoderDelay >= 0) {
        samples = std::max(samples - xing->encoderDelay - xing->encoderPadding, 0.0);
    }
    const int rate = mpeg::sampleRateOf(h);
    return rate > 1 ? samples / rate : -1;
}

std::string clockTime(double seconds) {
    const long whole = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace kivo
