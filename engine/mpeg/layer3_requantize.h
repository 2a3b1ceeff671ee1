// Requantisation: Huffman values times the gains of their band, short blocks reordered.
#pragma once

#include "layer3_types.h"

namespace kivo::mpeg {

// Scales xr (signed |v|^(4/3) below `nonZeroExtent`) in place, fills `info` and returns the
// new NonZeroExtent.
int requantize(float* xr, int nonZeroExtent, const GranuleChannelInfo& g, const ScaleFactors& sf,
               const BandLayout& bands, BlockInfo* info);

// Long blocks are scaled while they are decoded: the factor of each of the first `lines` lines.
void longBlockFactors(const GranuleChannelInfo& g, const ScaleFactors& sf, const BandLayout& bands,
                      int lines, float* factors);

// BlockInfo of a long block whose lines are already scaled. The last non-zero band (wanted only
// by intensity stereo) is looked up when `findLastBand` is set.
void describeLongBlock(const float* xr, int nonZeroExtent, const BandLayout& bands,
                       bool findLastBand, BlockInfo* info);

}  // namespace kivo::mpeg
