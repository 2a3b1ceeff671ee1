// Requantisation: Huffman values times the gains of their band, short blocks reordered.
#pragma once

#include "layer3_types.h"

namespace kivo::mpeg {

// Scales xr (signed |v|^(4/3) below `nonZeroExtent`) in place, fills `info` and returns the
// new NonZeroExtent.
int requantize(float* xr, int nonZeroExtent, const GranuleChannelInfo& g, const ScaleFactors& sf,
               const BandLayout& bands, BlockInfo* info);

}  // namespace kivo::mpeg
