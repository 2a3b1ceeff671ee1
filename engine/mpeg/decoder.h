// The MPEG audio decoder: Layer III and Layer II behind one set of operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder_ops.h"
#include "frame_result.h"
#include "layer2.h"
#include "layer3_decoder.h"
#include "synthesis.h"

namespace kivo::mpeg {

// A decoder as a pipeline uses it: each pipeline owns one.
class StreamDecoder {
public:
    virtual ~StreamDecoder() = default;
    // Accepts or refuses the stream the header and frame length describe.
    virtual bool start(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit) = 0;
    // What the accepted stream decodes to.
    virtual PcmFormat format() const = 0;
    // The frame at `frame`, with kFrameSpanBytes readable there, into one block of PCM.
    virtual FrameResult decode(const uint8_t* frame, void* pcm) = 0;
};

// A decoder reached through a table of operations (a stand-in installed by a test or tool).
class OpsDecoder : public StreamDecoder {
public:
    explicit OpsDecoder(const DecoderOps& ops) : ops_(ops) {}
    bool start(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit) override;
    PcmFormat format() const override;
    FrameResult decode(const uint8_t* frame, void* pcm) override;

private:
    const DecoderOps ops_;
};

// One independent decoder: each pipeline, sound clip and tool makes its own; the table of
// operations (processDecoderOps()) reaches a process-wide one. State <= 64 KiB without shared
// tables.
class MpegDecoder : public StreamDecoder {
public:
    bool start(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit) override;
    PcmFormat format() const override { return format_; }
    FrameResult decode(const uint8_t* frame, void* pcm) override {
        return decodeFrame(frame, kFrameSpanBytes, pcm);
    }

    // Never reads past `available` bytes from `frame`; never writes more than one block of PCM.
    FrameResult decodeFrame(const uint8_t* frame, size_t available, void* pcm);

private:
    LayerCode layer_ = kLayerInvalid;  // of the accepted stream; invalid before a successful start
    PcmFormat format_{};
    SynthesisState synth_{};
    Layer3Decoder layer3_;
    Layer2Decoder layer2_;
};

}  // namespace kivo::mpeg
