// Messages between the stages and their player. Format and EndOfStream travel as markers inside
// the PCM ring; PlaybackFinished and StageFailed are posted to the player.
#pragma once

#include <cstdint>
#include <memory>

namespace kivo {

enum StageMessageCode : int32_t {
    kFormatMarker = 0,
    kEndOfStreamMarker = 3,
    kPlaybackFinished = 12,
    kStageFailed = 77,
};

class StageMessage {
public:
    explicit StageMessage(int32_t code) : code_(code) {}
    virtual ~StageMessage() = default;
    int32_t code() const { return code_; }

private:
    int32_t code_;
};

using StageMessagePtr = std::unique_ptr<StageMessage>;

// The PCM that follows a Format marker.
struct OutputFormat {
    int32_t bitsPerSample = 16;
    int32_t channels = 2;
    int32_t sampleRate = 44100;
    int32_t blockBytes = 4608;  // PCM bytes of one decoded frame
    int32_t samplesPerBlock = 1152;
};

class FormatMessage : public StageMessage {
public:
    explicit FormatMessage(const OutputFormat& format)
        : StageMessage(kFormatMarker), format_(format) {}
    const OutputFormat& format() const { return format_; }

private:
    OutputFormat format_;
};

// Whoever receives the stages' reports (the player). Posting never blocks for long and may
// come from any stage thread.
class StageOwner {
public:
    virtual ~StageOwner() = default;
    virtual void postStageMessage(StageMessagePtr message) = 0;
};

}  // namespace kivo
