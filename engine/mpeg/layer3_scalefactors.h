// Scale factors of one channel of a granule.
#pragma once

#include "bit_reader.h"
#include "layer3_types.h"

namespace kivo::mpeg {

// MPEG-1. In granule 1 the groups flagged in `scfsi` are copied from `granule0`.
void readScaleFactorsMpeg1(BitReader& br, const GranuleChannelInfo& g, int granule, int scfsi,
                           const ScaleFactors& granule0, ScaleFactors* sf);

// MPEG-2 and 2.5; sets g->preflag. For the right channel of an intensity-stereo frame
// (`limits` not null) also records the not-allowed intensity position of every band.
void readScaleFactorsLsf(BitReader& br, GranuleChannelInfo* g, ScaleFactors* sf,
                         IntensityLimits* limits);

}  // namespace kivo::mpeg
