// What `kivo-decode --info` reports about a stream, gathered by walking its frames.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame_walker.h"
#include "tag_text.h"

namespace kivo::tools {

struct StreamInfo {
    FrameHeader header{};
    int32_t sampleRate = 0;
    int32_t samplesPerFrame = 0;
    int64_t audioFrames = 0;  // frames walked, the Xing frame not counted
    int64_t audioBytes = 0;
    bool variableBitrate = false;
    bool xing = false;
    int32_t xingFrames = -1;  // -1 when the header gives no count
    int32_t nominalKbps = 0;  // of the first frame (measured for free format)
    double seconds = 0;
    double averageKbps = 0;
    bool infoTag = false;  // the header says "Info" (constant bitrate), not "Xing"
    std::string encoder;   // from the encoder's tag, empty without
    int32_t encoderDelay = -1;
    int32_t encoderPadding = -1;
    int64_t samples = 0;  // per channel, as decoded without the encoder's delay and padding
    TagText tags;         // from the file, when it has them
};

// Walks every frame from the walker's position on; the walker has found the stream.
// `refill` runs before each step (it keeps the walker's window filled).
StreamInfo gatherStreamInfo(FrameWalker& walker, const std::function<void()>& refill);

std::string formatStreamInfo(const StreamInfo& info);

}  // namespace kivo::tools
