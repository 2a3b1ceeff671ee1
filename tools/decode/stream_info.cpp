#include "stream_info.h"

#include <algorithm>
#include <cstdio>

#include "gapless_trim.h"

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

StreamInfo gatherStreamInfo(FrameWalker& walker, const std::function<void()>& refill) {
    StreamInfo info;
    info.header = walker.header();
    info.sampleRate = mpeg::sampleRateOf(info.header);
    info.samplesPerFrame = samplesPerFrameOf(info.header);
    info.xing = walker.xing().has_value();
    if (info.xing) {
        const XingInfo& xing = *walker.xing();
        if (xing.flags & kivo::kXingFrames) info.xingFrames = xing.frames;
        info.infoTag = xing.constantBitrate;
        info.encoder = xing.encoder.data();
        info.encoderDelay = xing.encoderDelay;
        info.encoderPadding = xing.encoderPadding;
    }
    int firstBitrateIndex = -1;
    // The Xing frame carries the header, not audio.
    walker.skipHeaderFrame();
    for (;;) {
        refill();
        const size_t before = walker.position();
        const auto h = walker.skipFrame();
        if (!h) break;
        const size_t after = walker.position();
        if (firstBitrateIndex < 0) {
            firstBitrateIndex = h->bitrateIndex;
            info.header = *h;
        } else if (h->bitrateIndex != firstBitrateIndex) {
            info.variableBitrate = true;
        }
        ++info.audioFrames;
        info.audioBytes += static_cast<int64_t>(after - before);
    }
    info.samples = info.audioFrames * info.samplesPerFrame;
    if (const auto gap = encoderGapOf(walker.xing());
        gap && info.header.layerCode == mpeg::kLayerIII) {
        // The decoder's delay is in the padding: the count is the samples the encoder was given.
        info.samples = std::max<int64_t>(info.samples - info.encoderDelay - info.encoderPadding, 0);
    }
    info.seconds = static_cast<double>(info.samples) / info.sampleRate;
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
    const char* tag = info.infoTag ? "Info" : "Xing";
    if (info.xing && info.xingFrames >= 0) {
        std::snprintf(xing, sizeof xing, "%s (%d frames)", tag, info.xingFrames);
    } else if (info.xing) {
        std::snprintf(xing, sizeof xing, "%s (no frame count)", tag);
    }
    const auto totalMs = static_cast<int64_t>(info.seconds * 1000);
    char text[512];
    std::snprintf(text, sizeof text,
                  "layer: %s\nversion: %s\nmode: %s\nsample rate: %d Hz\nbitrate: %s\n"
                  "frames: %lld\nsamples: %lld\nduration: %lld:%02lld.%03lld (%.3f s)\n"
                  "Xing header: %s\n",
                  layerName(info.header.layerCode), versionName(info.header),
                  modeName(info.header.mode), info.sampleRate, bitrate,
                  static_cast<long long>(info.audioFrames), static_cast<long long>(info.samples),
                  static_cast<long long>(totalMs / 60000),
                  static_cast<long long>(totalMs / 1000 % 60),
                  static_cast<long long>(totalMs % 1000), info.seconds, xing);
    std::string out;
    const std::pair<const char*, const std::string*> tags[] = {
        {"title", &info.tags.title}, {"artist", &info.tags.artist}, {"album", &info.tags.album}};
    for (const auto& [name, value] : tags) {
        if (!value->empty()) out += std::string(name) + ": " + *value + "\n";
    }
    out += text;
    if (!info.encoder.empty() || info.encoderDelay >= 0) {
        std::snprintf(text, sizeof text,
                      "encoder: %s\nencoder delay: %d samples\npadding: %d samples\n",
                      info.encoder.empty() ? "?" : info.encoder.c_str(), info.encoderDelay,
                      info.encoderPadding);
        out += text;
    }
    return out;
}

}  // namespace kivo::tools
