// The middle stage of a pipeline: finds the MPEG audio stream in the source's bytes, reads its
// Xing header and length, announces the PCM format with a Format marker, seeks to the start
// percentage and marks where the song stands, then decodes one frame per decoder call into the
// PCM ring, resynchronising after damaged data, and ends the PCM with an EndOfStream marker.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "gapless_trim.h"
#include "marker_ring.h"
#include "mpeg/decoder.h"
#include "pipeline_stage.h"
#include "stream_rules.h"
#include "worker_thread.h"

namespace kivo {

class SourceStage;

class DecoderStage : public PipelineStage {
public:
    static constexpr uint32_t kPcmRingSize = 64512;
    static constexpr uint32_t kPcmRingTarget = 524288;  // resized to whole blocks below this
    // The largest block (1152 stereo samples of 16 bits), which every smaller one divides: a
    // ring of such blocks holds whole blocks of whatever format a stream changes to.
    static constexpr uint32_t kLargestBlockBytes = 4608;
    static constexpr int32_t kFrequencyLimit = 24000;

    DecoderStage(StageOwner* owner, std::unique_ptr<mpeg::StreamDecoder> decoder);
    ~DecoderStage() override;

    void setSource(SourceStage* source) { source_ = source; }
    // Applied once, before the first frame; later calls have no effect.
    void setStartPercent(int32_t percent) { startPercent_.store(percent); }

    // Starts the thread (it waits for the first kick) and hands out the PCM ring.
    StageResult open(ByteRing* input, MarkerRing** pcm);

private:
    // A span of input: straight in the ring, or (at the end of the data, with fewer bytes left
    // than asked for) a zero-padded copy of what is left, of which `available` bytes are real.
    struct InputSpan {
        const uint8_t* data = nullptr;
        uint32_t available = 0;
        bool tail = false;
    };

    static void threadMain(void* stage);
    void decode();
    StageResult findStream();
    StageResult readStreamFacts();
    StageResult initialiseDecoder();
    // Starts the decoder on a stream and tells the format of its PCM; false when refused.
    bool startDecoder(const mpeg::FrameHeader& header, int32_t frameLength, OutputFormat* output);
    // Whether the frame at the read position is of another sample rate, layer or version than
    // the stream's.
    bool startsAnotherStream(const InputSpan& span) const;
    // Goes on with the stream that starts at the read position, in its own format; a lone
    // frame of another kind is resynced over.
    StageResult followStreamChange();
    // Makes the ring's write position a whole number of blocks of the new size.
    StageResult alignRing(uint32_t blockBytes);
    void seekToStart(int32_t percent);
    // Steps over the Xing/Info frame at the read position: it holds the header, not sound.
    StageResult skipHeaderFrame();
    // Writes out what the gapless trim still holds, the padding dropped; `wholeBlocks` fills
    // the last block with silence (when another stream follows in the ring).
    StageResult flushTrim(bool wholeBlocks);
    StageResult frameLoop();
    // Moves the read position to the next sync candidate; kNoStream once more than `limit`
    // bytes were stepped over. `skipped`, if given, adds up the bytes stepped over.
    StageResult resync(uint64_t limit = UINT64_MAX, uint64_t* skipped = nullptr);
    StageResult readInput(uint32_t n, InputSpan* span);
    void releaseInput(uint32_t n);
    bool tailFrameIncomplete(const InputSpan& span) const;
    // A Position marker for the PCM that follows.
    StageResult markPosition(bool reckonedAgain = false);
    // For a stream without a frame count: the length from the mean of the frames decoded so
    // far, and at the end the frames counted.
    StageResult reckonLength(bool atEnd);
    StageResult endOfStream();

    const std::unique_ptr<mpeg::StreamDecoder> decoder_;
    std::atomic<int32_t> startPercent_{0};
    SourceStage* source_ = nullptr;
    MarkerRing* pcmRing_ = nullptr;
    WorkerThread thread_;

    mpeg::FrameHeader header_{};
    int32_t frameLength_ = -1;
    uint32_t blockBytes_ = 0;
    int32_t samplesPerBlock_ = 1152;
    uint32_t fileSize_ = 0;
    int32_t totalFrames_ = -1;
    int32_t framesDone_ = 0;
    // The length of a stream without a frame count is first taken from its first frame and
    // reckoned again as frames are decoded (a variable bitrate makes the first one a poor
    // guide): after 2, 4, 8, ... frames and at the end.
    bool lengthReckoned_ = false;
    uint32_t startOffset_ = 0;  // of a start seek, in the audio
    uint64_t bytesDecoded_ = 0;
    int32_t framesDecoded_ = 0;
    int32_t nextReckoning_ = 2;
    std::optional<XingInfo> xing_;
    // For a stream whose encoder said what it added; none otherwise.
    std::optional<GaplessTrim> trim_;
    // The last bytes of the data, padded with zeros so that the decoder may look past them.
    std::array<uint8_t, kStreamPeekBytes + 8> tail_{};
};

// A decoder of its own for a new pipeline, or one over the operations a test or tool
// installed (null: none installed).
std::unique_ptr<mpeg::StreamDecoder> makePipelineDecoder();
void setPipelineDecoderOps(const mpeg::DecoderOps* ops);

}  // namespace kivo
