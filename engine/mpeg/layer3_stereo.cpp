#include "layer3_stereo.h"

#include <algorithm>
#include <cmath>

#include "simd4.h"

namespace kivo::mpeg {

namespace {

struct IntensityPair {
    float left, right;
};

struct IntensityTables {
    IntensityPair mpeg1[2][8];    // [ms_stereo][position]
    IntensityPair lsf[2][2][64];  // [intensity_scale][ms_stereo][2^slen - 1 + position]
    IntensityTables() {
        const double pi = 3.14159265358979323846;
        for (int ms = 0; ms < 2; ++ms) {
            const double k = ms ? std::sqrt(2.0) : 1.0;
            for (int p = 0; p < 7; ++p) {
                const double s = std::sin(p * pi / 12), c = std::cos(p * pi / 12);
                mpeg1[ms][p] = {static_cast<float>(k * s / (s + c)),
                                static_cast<float>(k * c / (s + c))};
            }
            // The position that is not allowed decodes the band as plain left/right (or
            // mid/side): the left values stay, the right ones are zero (or equal them).
            mpeg1[ms][7] = {1.0f, ms ? 1.0f : 0.0f};
            for (int scale = 0; scale < 2; ++scale) {
                const double io = std::exp2(scale ? -0.5 : -0.25);
                for (int slen = 0; slen <= 5; ++slen) {
                    const int base = (1 << slen) - 1;
                    for (int p = 0; p <= base; ++p) {
                        IntensityPair& pair = lsf[scale][ms][base + p];
                        if (p == base) {
                            pair = {1.0f, ms ? 1.0f : 0.0f};
                        } else if (p == 0) {
                            pair = {static_cast<float>(k), static_cast<float>(k)};
                        } else if (p & 1) {
                            pair = {static_cast<float>(k * std::pow(io, (p + 1) / 2)),
                                    static_cast<float>(k)};
                        } else {
                            pair = {static_cast<float>(k),
                                    static_cast<float>(k * std::pow(io, p / 2))};
                        }
                    }
                }
                lsf[scale][ms][63] = {1.0f, ms ? 1.0f : 0.0f};
            }
        }
    }
};

const IntensityTables& intensityTables() {
    static const IntensityTables tables;
    return tables;
}

// Spreads the left lines [start, end) at `stride` over both channels.
inline void applyPair(float* l, float* r, int start, int end, int stride, IntensityPair pair) {
    for (int i = start; i < end; i += stride) {
        const float x = l[i];
        l[i] = x * pair.left;
        r[i] = x * pair.right;
    }
}

}  // namespace

void processJointStereo(const FrameSideInfo& frame, StereoChannel left, StereoChannel right,
                        const ScaleFactors& rsf, const IntensityLimits* lsfLimits,
                        const BandLayout& bands) {
    float* l = left.xr;
    float* r = right.xr;
    const int leftExtent = *left.nonZeroExtent;
    const BlockInfo& ri = *right.info;
    const int ms = frame.msStereo ? 1 : 0;

    if (frame.msStereo) {
        const int n =
            frame.intensityStereo ? ri.nonZeroEnd : std::max(leftExtent, *right.nonZeroExtent);
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            const F4 m = F4::load(l + i), s = F4::load(r + i);
            (m + s).store(l + i);
            (m - s).store(r + i);
        }
        for (; i < n; ++i) {
            const float m = l[i], s = r[i];
            l[i] = m + s;
            r[i] = m - s;
        }
    }

    if (frame.intensityStereo) {
        const IntensityTables& t = intensityTables();
        const int16_t* lb = bands.longBounds;
        const int16_t* sb = bands.shortBounds;
        if (!ri.hasShort) {
            // Long bands above the right channel's last non-zero one. Band 21 carries no
            // position of its own and takes that of band 20.
            for (int band = ri.lastNonZeroBand + 1; band < 22; ++band) {
                const int start = lb[band];
                if (start >= leftExtent) break;
                const int end = std::min<int>(lb[band + 1], leftExtent);
                const int coded = std::min(band, 20);
                const int pos = rsf.longBand[coded];
                IntensityPair pair;
                if (lsfLimits) {
                    const int limit = lsfLimits->longBand[coded];
                    pair = t.lsf[lsfLimits->scale][ms][limit + std::min(pos, limit)];
                } else {
                    pair = t.mpeg1[ms][std::min(pos, 7)];
                }
                applyPair(l, r, start, end, 1, pair);
            }
        } else {
            const BlockInfo& li = *left.info;
            const int lastRight =
                std::max({ri.lastNonZeroShort[0], ri.lastNonZeroShort[1], ri.lastNonZeroShort[2]});
            for (int w = 0; w < 3; ++w) {
                // MPEG-1 starts above the right channel's last non-zero band of any window and
                // goes to the top; LSF works per window up to the left channel's last band.
                const int first = (lsfLimits ? ri.lastNonZeroShort[w] : lastRight) + 1;
                const int last = lsfLimits ? li.lastNonZeroShort[w] : 12;
                for (int band = first; band <= last; ++band) {
                    const int start = 3 * sb[band] + w;
                    if (start >= leftExtent) break;
                    const int end = std::min(3 * sb[band + 1], leftExtent);
                    const int coded = std::min(band, 11);
                    const int pos = rsf.shortBand[w][coded];
                    IntensityPair pair;
                    if (lsfLimits) {
                        const int limit = lsfLimits->shortBand[coded];
                        pair = t.lsf[lsfLimits->scale][ms][limit + std::min(pos, limit)];
                    } else {
                        pair = t.mpeg1[ms][std::min(pos, 7)];
                    }
                    applyPair(l, r, start, end, 3, pair);
                }
            }
        }
    }

    if (frame.msStereo || frame.intensityStereo) {
        const int n = std::max(*left.nonZeroExtent, *right.nonZeroExtent);
        *left.nonZeroExtent = *right.nonZeroExtent = n;
    }
}

void prepareStereoTables() {
    intensityTables();
}

}  // namespace kivo::mpeg
