// Layer III: one stream's frame decoder, from frame bytes to PCM.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder_ops.h"
#include "frame_result.h"
#include "layer3_hybrid.h"
#include "layer3_reservoir.h"
#include "layer3_side_info.h"
#include "layer3_types.h"
#include "synthesis.h"

namespace kivo::mpeg {

class Layer3Decoder {
public:
    // decoderInit for layer code 1: returns 1 and fills *format when accepted, else 0.
    int32_t init(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit,
                 PcmFormat* format, SynthesisState& synth);
    // One frame at `frame` with `available` readable bytes.
    FrameResult decodeFrame(const uint8_t* frame, size_t available, int16_t* pcm,
                            SynthesisState& synth);

    // The band partitions and limits chosen by init.
    const BandLayout& bands() const { return bands_; }

private:
    void decodeGranule(int granule, int64_t* bitPosition, int16_t* pcm, SynthesisState& synth);
    void decodeChannel(int granule, int channel, int64_t start, BlockInfo* info);

    Layer3StreamInfo stream_{};
    BandLayout bands_{};
    int outputChannels_ = 0;
    int outputBytes_ = 0;
    bool wideVectors_ = false;  // the hybrid filter in the AVX encoding
    FrameSideInfo side_{};
    ScaleFactors scaleFactors_[2][2]{};  // [granule][channel]
    IntensityLimits intensity_{};
    // Per channel: the granule's spectral lines and their NonZeroExtent (how far the array may
    // hold non-zero values), and the overlap carried to the next granule.
    int extent_[2]{};
    int overlapExtent_[2]{};
    alignas(16) float spectrum_[2][kSpectrumFloats]{};
    alignas(16) float overlap_[2][kGranuleLines]{};
    alignas(16) float hybrid_[2][18][32]{};
    MainDataReservoir reservoir_;
};

}  // namespace kivo::mpeg
