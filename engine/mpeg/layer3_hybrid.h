// Alias reduction and the hybrid filter bank: inverse MDCT, windowing, overlap-add and
// frequency inversion, from spectral lines to 18 time slots of 32 subband samples.
#pragma once

#include "layer3_types.h"

namespace kivo::mpeg {

// Butterflies across the subband boundaries that hold data; may raise the extent.
void reduceAliases(float* xr, int* nonZeroExtent, const BlockInfo& info);

struct HybridInput {
    float* xr;             // this granule's lines; receives the overlap for the next granule
    const float* overlap;  // the previous granule's overlap
    int nonZeroExtent;     // of xr
    int overlapExtent;     // lines of `overlap` that may be non-zero
    int blockType;
    bool mixed;  // mixed_block_flag with window switching, whatever the block type
};

// Fills out[18][32]; returns the lines reached (18 x subbands), the extent of the new overlap.
int hybridFilter(const HybridInput& in, const BandLayout& bands, float out[18][32]);

// For tests: the 36-point inverse MDCT of 18 lines, windowed with block type `blockType` (0, 1
// or 3), and three windowed 12-point transforms placed as a short block, 36 values each.
void inverseMdct36(const float x[18], int blockType, float z[36]);
void inverseMdctShort(const float x[18], float z[36]);

}  // namespace kivo::mpeg
