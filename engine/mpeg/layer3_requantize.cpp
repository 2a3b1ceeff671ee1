#include "layer3_requantize.h"

#include <algorithm>
#include <cstring>

#include "layer3_band_tables.h"
#include "simd4.h"

namespace kivo::mpeg {

namespace {

// 2^(n/4) exactly as std::exp2 gives it: a power of two times one of four roots, so the
// compiler can build the tables and no process pays for them at start.
constexpr float quarterPower(int n) {
    constexpr double kRoots[4] = {1.0, 1.1892071150027210667, 1.4142135623730950488,
                                  1.6817928305074290861};
    double v = kRoots[n & 3];
    for (int e = n >> 2; e > 0; --e) v *= 2.0;
    for (int e = n >> 2; e < 0; ++e) v *= 0.5;
    return static_cast<float>(v);
}

struct GainTables {
    // 2^((i - 156) / 4) at global_gain + 6: the standard's 2^((gain - 210) / 4) times 2^15,
    // so requantised values are already in 16-bit PCM scale.
    float global[262];
    // [scalefac_scale][pretab value][scale factor]
    float scaleFactor[2][4][32];
    float subblock[8];
};

constexpr GainTables makeGainTables() {
    GainTables t{};
    for (int i = 0; i < 262; ++i) t.global[i] = quarterPower(i - 156);
    for (int s = 0; s < 2; ++s) {
        for (int p = 0; p < 4; ++p) {
            for (int f = 0; f < 32; ++f)
                t.scaleFactor[s][p][f] = quarterPower(-2 * (1 + s) * (f + p));
        }
    }
    for (int i = 0; i < 8; ++i) t.subblock[i] = quarterPower(-8 * i);
    return t;
}

constexpr GainTables kGainTables = makeGainTables();

// Multiplies n lines (n even) by f; whether any of them is non-zero.
bool scaleLines(float* p, int n, float f) {
    const F4 factor(f);
    F4 any(0.0f);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const F4 v = F4::load(p + i);
        any = any + v * v;
        (v * factor).store(p + i);
    }
    bool nonZero = any.anyNonZero();
    for (; i < n; ++i) {
        nonZero |= p[i] != 0.0f;
        p[i] *= f;
    }
    return nonZero;
}

}  // namespace

int requantize(float* xr, int nonZeroExtent, const GranuleChannelInfo& g, const ScaleFactors& sf,
               const BandLayout& bands, BlockInfo* info) {
    const GainTables& t = kGainTables;
    const bool hasShort = g.blockType == 2;
    const bool mixed = hasShort && g.mixedBlock;
    const int longBands = hasShort ? (mixed ? bands.mixedLongBands : 0) : 22;
    const float global = t.global[g.globalGain + 6];
    const int scale = g.scalefacScale & 1;

    info->hasShort = hasShort;
    info->firstShortBand = hasShort ? (mixed ? 3 : 0) : 12;
    info->longBands = longBands;
    info->lastNonZeroBand = -1;
    info->nonZeroEnd = 0;
    for (int w = 0; w < 3; ++w) info->lastNonZeroShort[w] = info->firstShortBand - 1;

    int band = 0;
    for (; band < longBands; ++band) {
        const int start = bands.longBounds[band];
        if (start >= nonZeroExtent) break;
        const int end = bands.longBounds[band + 1];
        const int pretab = g.preflag && band < 22 ? kPretab[band] : 0;
        const float factor = global * t.scaleFactor[scale][pretab][sf.longBand[band] & 31];
        if (scaleLines(xr + start, end - start, factor)) {
            info->lastNonZeroBand = band;
            info->nonZeroEnd = end;
        }
    }
    if (!hasShort) return nonZeroExtent;

    // Short bands arrive window by window; line j of window w goes to 3j + w of the band.
    float factor[3];
    float scratch[3 * 192];
    int line = 3 * bands.shortBounds[info->firstShortBand];
    int lastAny = info->firstShortBand - 1;
    for (band = info->firstShortBand; band < 13 && line < nonZeroExtent; ++band) {
        const int width = bands.shortBounds[band + 1] - bands.shortBounds[band];
        for (int w = 0; w < 3; ++w) {
            factor[w] = global * t.subblock[g.subblockGain[w] & 7] *
                        t.scaleFactor[scale][0][sf.shortBand[w][band] & 31];
        }
        for (int w = 0; w < 3; ++w) {
            const float* in = xr + line + w * width;
            bool nonZero = false;
            for (int j = 0; j < width; ++j) {
                nonZero |= in[j] != 0.0f;
                scratch[3 * j + w] = in[j] * factor[w];
            }
            if (nonZero) {
                info->lastNonZeroShort[w] = band;
                lastAny = band;
            }
        }
        std::memcpy(xr + line, scratch, sizeof(float) * 3 * static_cast<size_t>(width));
        line += 3 * width;
        if (lastAny == band) info->nonZeroEnd = line;
    }
    if (lastAny >= info->firstShortBand) info->lastNonZeroBand = lastAny;
    return line > nonZeroExtent ? line : nonZeroExtent;
}

void longBlockFactors(const GranuleChannelInfo& g, const ScaleFactors& sf, const BandLayout& bands,
                      int lines, float* factors) {
    const GainTables& t = kGainTables;
    const float global = t.global[g.globalGain + 6];
    const int scale = g.scalefacScale & 1;
    for (int band = 0; band < 22; ++band) {
        const int start = bands.longBounds[band];
        if (start >= lines) break;
        const int end = std::min<int>(bands.longBounds[band + 1], lines);
        const int pretab = g.preflag ? kPretab[band] : 0;
        const F4 factor(global * t.scaleFactor[scale][pretab][sf.longBand[band] & 31]);
        // Stores may run up to three lines into the next band, which overwrites them.
        for (int i = start; i < end; i += 4) factor.store(factors + i);
    }
}

void describeLongBlock(const float* xr, int nonZeroExtent, const BandLayout& bands,
                       bool findLastBand, BlockInfo* info) {
    *info = {false, 21, 12, 22, {11, 11, 11}, kGranuleLines};
    if (!findLastBand) return;
    info->lastNonZeroBand = -1;
    info->nonZeroEnd = 0;
    for (int band = 21; band >= 0; --band) {
        const int start = bands.longBounds[band];
        if (start >= nonZeroExtent) continue;
        const int end = std::min<int>(bands.longBounds[band + 1], nonZeroExtent);
        for (int i = start; i < end; ++i) {
            if (xr[i] != 0.0f) {
                info->lastNonZeroBand = band;
                info->nonZeroEnd = bands.longBounds[band + 1];
                return;
            }
        }
    }
}

}  // namespace kivo::mpeg
