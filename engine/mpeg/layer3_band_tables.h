// Layer III scale-factor band partitions and the small constant tables of the standard.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

struct BandBoundaries {
    int16_t longBounds[23];   // line of each long band start, then 576
    int16_t shortBounds[14];  // line of each short band start within one window, then 192
};

// [MPEG-2, MPEG-1, MPEG 2.5][sample-rate index]
extern const BandBoundaries kBandBoundaries[3][3];
extern const uint8_t kPretab[22];
// MPEG-1 scale-factor lengths by [slen1, slen2][scalefac_compress].
extern const uint8_t kSlen[2][16];
extern const float kAliasCoefficients[8];
// LSF scale factors per group: [row][long, short, mixed][group].
extern const uint8_t kLsfGroupCounts[6][3][4];
// LSF packed lengths, see lsfSlen().
extern const uint16_t kLsfSlen[768];

struct LsfSlen {
    int slen[4];
    int row;
    int preflag;
};

// scalefac_compress of an LSF channel; `intensityRight` for the right channel of an
// intensity-stereo frame.
inline LsfSlen lsfSlen(int scalefacCompress, bool intensityRight) {
    const uint16_t p =
        kLsfSlen[intensityRight ? 512 + ((scalefacCompress >> 1) & 255) : scalefacCompress & 511];
    return {{p & 7, (p >> 3) & 7, (p >> 6) & 7, (p >> 9) & 7}, (p >> 12) & 7, p >> 15};
}

}  // namespace kivo::mpeg
