// Joint stereo of one granule: mid/side and intensity stereo, MPEG-1 and LSF rules.
#pragma once

#include "layer3_types.h"

namespace kivo::mpeg {

struct StereoChannel {
    float* xr;
    int* nonZeroExtent;
    const BlockInfo* info;
};

// `rightScaleFactors` hold the intensity positions; `lsfLimits` is set for LSF frames.
void processJointStereo(const FrameSideInfo& frame, StereoChannel left, StereoChannel right,
                        const ScaleFactors& rightScaleFactors, const IntensityLimits* lsfLimits,
                        const BandLayout& bands);

// Builds the shared intensity tables now rather than at the first frame.
void prepareStereoTables();

}  // namespace kivo::mpeg
