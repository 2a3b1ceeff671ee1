// Data that the Layer III stages hand to each other.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

inline constexpr int kGranuleLines = 576;

struct GranuleChannelInfo {
    int32_t part23Length;
    int32_t bigValues;
    int32_t globalGain;  // coded value, less 2 under mid/side (folds in the 1/sqrt(2))
    int32_t scalefacCompress;
    int32_t windowSwitching;
    int32_t blockType;
    int32_t mixedBlock;
    int32_t tableSelect[3];
    int32_t subblockGain[3];
    int32_t region0Count;
    int32_t region1Count;
    int32_t preflag;
    int32_t scalefacScale;
    int32_t count1Table;
};

// Header fields and side information of one frame.
struct FrameSideInfo {
    bool lsf;  // one granule per frame
    bool mpeg25;
    int sampleRateIndex;
    int mode;
    int channels;  // coded channels
    bool msStereo;
    bool intensityStereo;
    int crcBytes;
    int frameBytes;     // whole frame, with padding
    int sideInfoBytes;  // header + side information, without the CRC
    int mainDataBegin;
    int scfsi[2];
    GranuleChannelInfo granule[2][2];  // [granule][channel]
};

struct ScaleFactors {
    uint8_t longBand[23];
    uint8_t shortBand[3][13];  // [window][band]
};

// Largest (not allowed) intensity position per band of an LSF right channel.
struct IntensityLimits {
    uint8_t longBand[22];
    uint8_t shortBand[13];
    int scale;  // intensity_scale
};

// What requantisation learned about one channel of a granule.
struct BlockInfo {
    bool hasShort;
    int lastNonZeroBand;      // long band, or the short band over all windows
    int firstShortBand;       // 12 when none
    int longBands;            // 22 long, 0 short, 8 or 6 mixed
    int lastNonZeroShort[3];  // per window; firstShortBand - 1 when none
    int nonZeroEnd;           // line after the last band that holds a non-zero value
};

// Band partitions and limits prepared at init for one stream.
struct BandLayout {
    int16_t longBounds[23];
    int16_t shortBounds[14];  // per window
    int lineLimit;            // lines at or above are never decoded
    int longEnd;              // end of decoded long bands
    int shortEnd;             // end of decoded short bands (x3)
    int outputSubbands;       // (lineLimit + 17) / 18
    int mixedLongBands;       // 8 or 6
};

}  // namespace kivo::mpeg
