// Bitrates, sample rates and the byte length of a frame, shared by the decoder and the
// engine's stream search.
#pragma once

#include <cstdint>

#include "decoder_ops.h"

namespace kivo::mpeg {

// kbit/s by [id][layer code][bitrate index]; index 15 is not a bitrate and reads 0.
inline constexpr int16_t kBitrateKbps[2][4][16] = {
    {   // id 0: MPEG-2 and MPEG 2.5
     {},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    {   // id 1: MPEG-1
     {},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
};

// The sample rate divided by 50, by [id][sample-rate index]; index 3 is reserved and makes
// every length come out negative.
inline constexpr int32_t kRateDiv50[2][4] = {{441, 480, 320, -999}, {882, 960, 640, -999}};

// Sample rate in Hz by [id][sample-rate index] (MPEG 2.5 halves the MPEG-2 row).
inline constexpr int32_t kSampleRateHz[2][4] = {{22050, 24000, 16000, 1}, {44100, 48000, 32000, 1}};

inline int32_t sampleRateOf(const FrameHeader& h) {
    int32_t rate = kSampleRateHz[h.id & 1][h.sampleRateIndex & 3];
    return h.syncKind == 2 ? rate / 2 : rate;
}

inline int32_t bitrateKbpsOf(const FrameHeader& h) {
    return kBitrateKbps[h.id & 1][h.layerCode & 3][h.bitrateIndex & 15];
}

// Frame length in bytes without the padding slot; 0 or less means "no frame" (layer code 0,
// reserved sample rate, free format or bitrate index 15).
inline int32_t frameLengthOf(const FrameHeader& h) {
    const int32_t kbps = bitrateKbpsOf(h);
    const int32_t r = kRateDiv50[h.id & 1][h.sampleRateIndex & 3];
    switch (h.layerCode) {
        case kLayerI: return (240 * kbps / r) * 4;
        case kLayerII: return 2880 * kbps / r;
        case kLayerIII: return (h.id == 0 && h.syncKind == 1 ? 1440 : 2880) * kbps / r;
        default: return 0;
    }
}

// Bytes of one padding slot: 4 for Layer I, 1 otherwise.
inline int32_t paddingUnitOf(const FrameHeader& h) { return h.layerCode == kLayerI ? 4 : 1; }

}  // namespace kivo::mpeg
