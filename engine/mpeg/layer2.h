// Layer II: bit allocation, scale factors and grouped or plain samples of one frame,
// requantised straight into the subband-sample block that the synthesis consumes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder_ops.h"
#include "frame_result.h"
#include "synthesis.h"

namespace kivo::mpeg {

struct Layer2AllocationTable;

class Layer2Decoder {
public:
    // Time slots per frame, and floats per slot in the sample block (two channels
    // interleaved, or one channel in the first half).
    static constexpr int kSlots = 36;
    static constexpr int kSlotFloats = 64;
    // Bytes of the zero-padded frame copy: more than any frame can make the reader consume.
    static constexpr size_t kFrameCopyBytes = 4832;

    // decoderInit for layer code 2: returns 1 and fills *format when accepted, else 0.
    int32_t init(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit,
                 PcmFormat* format, SynthesisState& synth);
    // One frame at `frame` with `available` readable bytes; never reads past
    // min(available, frame length).
    FrameResult decodeFrame(const uint8_t* frame, size_t available, int16_t* pcm,
                            SynthesisState& synth);

    // The subband limit in subbands (those at and above it are skipped), after init.
    int subbandLimit() const { return subbandLimit_; }

private:
    // Whether a frame header repeats the fields every frame of the stream must share.
    bool belongsToStream(const FrameHeader& h) const;
    // The allocation table and subband limit for the header's rate, bitrate and mode.
    bool chooseTable(const FrameHeader& header);
    // Takes on the bitrate of a frame of the stream; false for a frame of another kind.
    bool followBitrate(const FrameHeader& h);

    const Layer2AllocationTable* table_ = nullptr;  // null until a stream is accepted
    int32_t frequencyLimit_ = 0;
    int32_t frameBytes_ = 0;
    int32_t channels_ = 0;
    int32_t subbandLimit_ = 0;
    // Header fields every frame of the stream must repeat.
    int32_t id_ = 0;
    int32_t bitrateIndex_ = 0;
    int32_t sampleRateIndex_ = 0;
    uint64_t liveCells_ = 0;  // bit c: column c of the block may hold samples
    alignas(16) float block_[kSlots * kSlotFloats] = {};
    uint8_t frame_[kFrameCopyBytes] = {};
};

}  // namespace kivo::mpeg
