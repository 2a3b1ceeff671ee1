// Messages between the stages and their player. Format and EndOfStream travel as markers inside
// the PCM ring; PlaybackFinished and StageFailed are posted to the player.
#pragma once

#include <cstdint>
#include <memory>

#include "stage_result.h"

namespace kivo {

enum StageMessageCode : int32_t {
    kFormatMarker = 0,
    kPositionMarker = 1,
    kEndOfStreamMarker = 3,
    kPlaybackFinished = 12,
    kStageFailed = 77,
};

class StageMessage {
public:
    explicit StageMessage(int32_t code, StageResult cause = kStageOk)
        : code_(code), cause_(cause) {}
    virtual ~StageMessage() = default;
    int32_t code() const { return code_; }
    // For StageFailed: the result the stage failed with.
    StageResult cause() const { return cause_; }
    // The pipeline that sent it, so that a report from a pipeline already replaced is dropped.
    uint32_t pipeline() const { return pipeline_; }
    void setPipeline(uint32_t pipeline) { pipeline_ = pipeline; }

private:
    int32_t code_;
    StageResult cause_;
    uint32_t pipeline_ = 0;
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

// Where the PCM that follows a Position marker stands in the song: the number of its first
// frame (one block per frame) and the song's frame count, -1 when unknown. The output stage
// reckons the position heard from it.
struct SongPosition {
    int32_t frame = 0;
    int32_t totalFrames = -1;
    // A better reckoning of a song already under way (its length learnt while decoding): taken
    // for what follows, not said at once, since the blocks before it are still to be heard.
    bool reckonedAgain = false;
};

class PositionMessage : public StageMessage {
public:
    explicit PositionMessage(const SongPosition& position)
        : StageMessage(kPositionMarker), position_(position) {}
    const SongPosition& position() const { return position_; }

private:
    SongPosition position_;
};

// Whoever receives the stages' reports (the player). Posting never blocks for long and may
// come from any stage thread.
class StageOwner {
public:
    virtual ~StageOwner() = default;
    virtual void postStageMessage(StageMessagePtr message) = 0;
};

}  // namespace kivo
