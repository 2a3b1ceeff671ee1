#include "stream_info.h"

#include <cstdio>

#include "mpeg/frame_length.h"

namespace kivo::tools {

namespace {

int32_t samplesPerFrameOf(const FrameHeader& h) {
    // Layer III at low sampling frequencies has one granule per frame.
    return h.layerCode == mpeg::kLayerIII && h.id == 0 ? 576 : 1152;
}

const char* layerName(int layerCode) {
    static const char* const kNames[] = {"?", "III", "II", "I"};
    return kNames[layerCode & 3];
}

const char* versionName(const FrameHeader& h) {
    if (h.syncKind == 2) return "MPEG 2.5";
    return h.id == 1 ? "MPEG-1" : "MPEG-2";
}

const char* modeName(int mode) {
    static const char* const kNames[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
    return kNames[mode & 3];
}

}  // namespace

StreamInfo gatherStreamInfo(FrameWalker& walker) {
    StreamInfo info;
    info.header = walker.header();
    info.sampleRate = mpeg::sampleRateOf(info.header);
    info.samplesPerFrame = samplesPerFrameOf(info.header);
    info.xing = walker.xing().has_value();
    if (info.xing && (walker.xing()->flags & kivo::kXingFrames))
        info.xingFrames = walker.xing()->frames;
    int firstBitrateIndex = -1;
    bool first = true;
    size_t before = walker.position();
    while (const auto h = walker.skipFrame()) {
        const size_t after = walker.position();
        // The Xing frame carries the header, not audio.
        if (first && info.xing) {
            first = false;
            before = after;
            continue;
        }
        if (firstBitrateIndex < 0) {
            firstBitrateIndex = h->bitrateIndex;
            info.header = *h;
        } else if (h->bitrateIndex != firstBitrateIndex) {
            info.variableBitrate = true;
        }
        first = false;
        ++info.audioFrames;
        info.audioBytes += static_cast<int64_t>(after - before);
        before = after;
    }
    info.seconds = static_cast<double>(info.audioFrames) * info.samplesPerFrame / info.sampleRate;
    if (info.seconds > 0) info.averageKbps = info.audioBytes * 8 / info.seconds / 1000;
    const int32_t kbps = mpeg::bitrateKbpsOf(info.header);
    info.nominalKbps = kbps > 0
                           ? kbps
                           : static_cast<int32_t>(int64_t{walker.frameLength()} * 8 *
                                                  info.sampleRate / info.samplesPerFrame / 1000);
    return info;
}

std::string formatStreamInfo(const StreamInfo& info) {
    char bitrate[96];
    if (info.variableBitrate) {
        std::snprintf(bitrate, sizeof bitrate, "%.0f kbps average (variable)", info.averageKbps);
    } else if (info.header.bitrateIndex == 0) {
        std::snprintf(bitrate, sizeof bitrate, "%.0f kbps (free format)", info.averageKbps);
    } else {
        std::snprintf(bitrate, sizeof bitrate, "%d kbps (constant)", info.nominalKbps);
    }
    char xing[64] = "no";
    if (info.xing && info.xingFrames >= 0) {
        std::snprintf(xing, sizeof xing, "yes (%d frames)", info.xingFrames);
    } else if (info.xing) {
        std::snprintf(xing, sizeof xing, "yes (no frame count)");
    }
    const auto totalMs = static_cast<int64_t>(info.seconds * 1000);
    char text[512];
    std::snprintf(text, sizeof text,
                  "layer: %s\nversion: %s\nmode: %s\nsample rate: %d Hz\nbitrate: %s\n"
                  "frames: %lld\nduration: %lld:%02lld.%03lld (%.3f s)\nXing header: %s\n",
                  layerName(info.header.layerCode), versionName(info.header),
                  modeName(info.header.mode), info.sampleRate, bitrate,
                  static_cast<long long>(info.audioFrames), static_cast<long long>(totalMs / 60000),
                  static_cast<long long>(totalMs / 1000 % 60),
                  static_cast<long long>(totalMs % 1000), info.seconds, xing);
    return text;
}

}  // namespace kivo::tools
