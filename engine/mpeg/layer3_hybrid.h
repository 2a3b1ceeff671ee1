// Alias reduction and the hybrid filter bank: inverse MDCT, windowing, overlap-add and
// frequency inversion, from spectral lines to 18 time slots of 32 subband samples.
#pragma once

#include "layer3_types.h"

namespace kivo::mpeg {

// Spectral lines of one channel, padded so four subbands can be loaded four lines at a time.
inline constexpr int kSpectrumFloats = kGranuleLines + 4;

// Butterflies across the subband boundaries that hold data; may raise the extent. `wide` (only
// where processorHasWideVectors()) runs the same sums eight lines at a time.
void reduceAliases(float* xr, int* nonZeroExtent, const BlockInfo& info, bool wide = false);

struct HybridInput {
    const float* xr;    // this granule's lines (kSpectrumFloats)
    int nonZeroExtent;  // of xr
    int blockType;
    bool mixed;  // mixed_block_flag with window switching, whatever the block type
};

// The channel's overlap between granules, time-major like the output: [18][32].
struct Overlap {
    float* values;
    int extent;  // 18 x the subbands that may be non-zero
};

// Fills out[18][32] (the subbands below bands.outputSubbands) and replaces the overlap with
// this granule's; returns the new overlap's extent (18 x the subbands transformed). `wide`
// (only where processorHasWideVectors()) runs the same sums in the AVX encoding.
int hybridFilter(const HybridInput& in, Overlap overlap, const BandLayout& bands, float out[18][32],
                 bool wide = false);

// For tests: the 36-point inverse MDCT of 18 lines, windowed with block type `blockType` (0, 1
// or 3), and three windowed 12-point transforms placed as a short block, 36 values each.
void inverseMdct36(const float x[18], int blockType, float z[36]);
void inverseMdctShort(const float x[18], float z[36]);

// Builds the shared transform tables now rather than at the first frame.
void prepareHybridTables();

}  // namespace kivo::mpeg
