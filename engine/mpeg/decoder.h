// The MPEG audio decoder: Layer III and Layer II behind one set of operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder_ops.h"
#include "layer2.h"
#include "layer3_decoder.h"
#include "synthesis.h"

namespace kivo::mpeg {

// One independent decoder (the engine's process-wide one sits behind processDecoderOps();
// the application's sound-clip player makes its own). State <= 64 KiB without shared tables.
class MpegDecoder {
public:
    // Returns 1 when the stream is accepted. The three settings must be 0 (full rate, the
    // channels as coded, 16-bit output: the only output this decoder makes).
    int32_t init(const FrameHeader& header, int32_t frameBytes, int32_t reduction,
                 int32_t channelSetting, int32_t conversionFlags, int32_t frequencyLimit);
    void getFormat(PcmFormat* format) const { *format = format_; }
    // Never reads past `available` bytes from `frame`; never writes more than one block of
    // PCM. Low half: bytes consumed; high half: PCM bytes written; 0 = refused.
    uint64_t decodeFrame(const uint8_t* frame, size_t available, void* pcm);

private:
    int32_t layer_ = kLayerInvalid;  // of the accepted stream; invalid before a successful init
    PcmFormat format_{};
    SynthesisState synth_{};
    Layer3Decoder layer3_;
    Layer2Decoder layer2_;
};

}  // namespace kivo::mpeg
