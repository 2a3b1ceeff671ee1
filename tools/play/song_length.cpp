#include "song_length.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio_span.h"
#include "frame_walker.h"
#include "mpeg/frame_length.h"

namespace kivo::play {

namespace {
// Enough for the stream search and a Xing header behind some junk.
constexpr size_t kHeadBytes = 1 << 16;
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
    const double frames = xing && (xing->flags & 1)
                              ? xing->frames
                              : static_cast<double>(audio.size() / walker.frameLength());
    // Layer III at low sampling frequencies has one granule per frame.
    const int samplesPerFrame = h.layerCode == 1 && h.id == 0 ? 576 : 1152;
    const int rate = mpeg::sampleRateOf(h);
    return rate > 1 ? frames * samplesPerFrame / rate : -1;
}

std::string minutesAndSeconds(double seconds) {
    const long whole = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace kivo::play
