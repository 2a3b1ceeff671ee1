#include "layer3_hybrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "layer3_band_tables.h"

namespace kivo::mpeg {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct HybridTables {
    float cs[8], ca[8];  // alias butterflies
    // Long windows by block type, entries 9..35 negated to pair with the fast transform.
    float window[4][36];
    float c18[18], c9[9];
    float r[9][4];
    // Short block: windowed 12-point transform matrix [output][input].
    float shortMatrix[12][6];
    HybridTables() {
        for (int i = 0; i < 8; ++i) {
            const double c = kAliasCoefficients[i];
            cs[i] = static_cast<float>(1.0 / std::sqrt(1.0 + c * c));
            ca[i] = static_cast<float>(c / std::sqrt(1.0 + c * c));
        }
        for (int t = 0; t < 4; ++t) {
            for (int i = 0; i < 36; ++i) {
                double w = std::sin(kPi / 36 * (i + 0.5));
                if (t == 1) {
                    w = i < 18   ? w
                        : i < 24 ? 1.0
                        : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5))
                                 : 0;
                } else if (t == 3) {
                    w = i < 6 ? 0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5)) : i < 18 ? 1.0 : w;
                } else if (t == 2) {
                    w = i < 12 ? std::sin(kPi / 12 * (i + 0.5)) : 0;
                }
                window[t][i] = static_cast<float>(i >= 9 ? -w : w);
            }
        }
        for (int k = 0; k < 18; ++k)
            c18[k] = static_cast<float>(2 * std::cos((2 * k + 1) * kPi / 72));
        for (int k = 0; k < 9; ++k)
            c9[k] = static_cast<float>(2 * std::cos((2 * k + 1) * kPi / 36));
        for (int k = 0; k < 9; ++k) {
            for (int j = 0; j < 4; ++j) {
                r[k][j] = static_cast<float>(std::cos((2 * j + 1) * 2 * k * kPi / 36));
            }
        }
        for (int i = 0; i < 12; ++i) {
            for (int k = 0; k < 6; ++k) {
                shortMatrix[i][k] =
                    static_cast<float>(std::sin(kPi / 12 * (i + 0.5)) *
                                       std::cos(kPi / 24 * (2 * i + 7) * (2 * k + 1)));
            }
        }
    }
};

const HybridTables& tables() {
    static const HybridTables t;
    return t;
}

inline float dot4(const float* r, const float* v) {
    return r[0] * v[0] + r[1] * v[1] + r[2] * v[2] + r[3] * v[3];
}

// 36-point inverse MDCT times the stored window: the window's sign flips make the folded
// output come out as the standard's windowed transform.
void imdct36(const HybridTables& t, const float* x, const float* w, float* z) {
    float A[4], B[4], C[4], D[4];
    for (int i = 0; i < 4; ++i) {
        const float a = t.c18[i] * x[i], b = t.c18[17 - i] * x[17 - i];
        const float e = t.c18[8 - i] * x[8 - i], f = t.c18[9 + i] * x[9 + i];
        A[i] = (e + f) + (a + b);
        B[i] = (a + b) - (e + f);
        C[i] = (e - f) * t.c9[8 - i] + (a - b) * t.c9[i];
        D[i] = (a - b) * t.c9[i] - (e - f) * t.c9[8 - i];
    }
    const float a4 = t.c18[4] * x[4], b4 = t.c18[13] * x[13];
    const float A4 = a4 + b4, C4 = (a4 - b4) * t.c9[4];

    float y[18];
    y[0] = (A4 + A[0] + A[1] + A[2] + A[3]) * 0.5f;
    y[1] = (C4 + C[0] + C[1] + C[2] + C[3]) * 0.5f;
    y[2] = dot4(t.r[1], B);
    y[3] = dot4(t.r[1], D) - y[1];
    y[1] = y[1] - y[0];
    y[2] = y[2] - y[1];
    y[4] = dot4(t.r[2], A) - A4;
    y[5] = dot4(t.r[2], C) - C4 - y[3];
    y[3] = y[3] - y[2];
    y[4] = y[4] - y[3];
    y[6] = (B[0] - B[2] - B[3]) * t.r[3][0];
    y[7] = (D[0] - D[2] - D[3]) * t.r[3][0] - y[5];
    y[5] = y[5] - y[4];
    y[6] = y[6] - y[5];
    y[8] = dot4(t.r[4], A) + A4;
    y[9] = dot4(t.r[4], C) + C4 - y[7];
    y[7] = y[7] - y[6];
    y[8] = y[8] - y[7];
    y[10] = dot4(t.r[5], B);
    y[11] = dot4(t.r[5], D) - y[9];
    y[9] = y[9] - y[8];
    y[10] = y[10] - y[9];
    y[13] = (C[3] + C[2] + C[0]) * 0.5f - C[1] - C4 - y[11];
    y[11] = y[11] - y[10];
    y[12] = (A[3] + A[2] + A[0]) * 0.5f - A[1] - A4 - y[11];
    y[14] = dot4(t.r[7], B);
    y[15] = dot4(t.r[7], D) - y[13];
    y[13] = y[13] - y[12];
    y[14] = y[14] - y[13];
    y[16] = dot4(t.r[8], A) + A4;
    y[17] = dot4(t.r[8], C) + C4 - y[15];
    y[15] = y[15] - y[14];
    y[16] = y[16] - y[15];
    y[17] = y[17] - y[16];

    for (int k = 0; k < 9; ++k) {
        z[k] = y[9 + k] * w[k];
        z[9 + k] = y[17 - k] * w[9 + k];
        z[18 + k] = y[8 - k] * w[18 + k];
        z[27 + k] = y[k] * w[27 + k];
    }
}

// Three windowed 12-point transforms of the interleaved short lines, overlapped at 6, 12, 18.
void imdctShort(const HybridTables& t, const float* x, float* z) {
    std::memset(z, 0, 36 * sizeof(float));
    for (int w = 0; w < 3; ++w) {
        float* out = z + 6 + 6 * w;
        for (int i = 0; i < 12; ++i) {
            const float* m = t.shortMatrix[i];
            out[i] += m[0] * x[w] + m[1] * x[3 + w] + m[2] * x[6 + w] + m[3] * x[9 + w] +
                      m[4] * x[12 + w] + m[5] * x[15 + w];
        }
    }
}

}  // namespace

void reduceAliases(float* xr, int* nonZeroExtent, const BlockInfo& info) {
    if (info.longBands == 0) return;
    const int boundaries = info.hasShort ? 1 : std::min((*nonZeroExtent + 7) / 18, 31);
    if (boundaries == 0) return;
    const HybridTables& t = tables();
    for (int s = 0; s < boundaries; ++s) {
        float* lo = xr + 18 * s + 17;
        float* hi = xr + 18 * (s + 1);
        for (int i = 0; i < 8; ++i) {
            const float a = lo[-i], b = hi[i];
            lo[-i] = a * t.cs[i] - b * t.ca[i];
            hi[i] = b * t.cs[i] + a * t.ca[i];
        }
    }
    *nonZeroExtent = std::max(*nonZeroExtent, 18 * boundaries + 8);
}

int hybridFilter(const HybridInput& in, const BandLayout& bands, float out[18][32]) {
    const HybridTables& t = tables();
    const int limit = bands.lineLimit;
    int longExtent = in.blockType != 2 ? in.nonZeroExtent
                     : in.mixed        ? bands.longBounds[bands.mixedLongBands]
                                       : 0;
    longExtent = std::min(longExtent, limit);
    const int totalExtent = std::min(in.nonZeroExtent, limit);
    const int longSubbands = (longExtent + 17) / 18;
    const int codedSubbands = std::max(longSubbands, (totalExtent + 17) / 18);
    const int reached = std::max(codedSubbands, (std::min(in.overlapExtent, limit) + 17) / 18);
    // A mixed block transforms its lowest (long) subbands with the normal window, the rest
    // with the window of its block type.
    const int normalSubbands = in.mixed ? bands.longBounds[bands.mixedLongBands] / 18 : 0;
    const float* blockWindow = t.window[in.blockType & 3];

    float z[36];
    int sb = 0;
    for (; sb < codedSubbands; ++sb) {
        float* x = in.xr + 18 * sb;
        const float* o = in.overlap + 18 * sb;
        if (sb < longSubbands) {
            imdct36(t, x, sb < normalSubbands ? t.window[0] : blockWindow, z);
        } else {
            imdctShort(t, x, z);
        }
        const float flip = (sb & 1) ? -1.0f : 1.0f;
        for (int i = 0; i < 18; i += 2) {
            out[i][sb] = z[i] + o[i];
            out[i + 1][sb] = (z[i + 1] + o[i + 1]) * flip;
        }
        std::memcpy(x, z + 18, 18 * sizeof(float));
    }
    // Subbands only the previous granule reached: its overlap alone; x is zero there already.
    for (; sb < reached; ++sb) {
        const float* o = in.overlap + 18 * sb;
        const float flip = (sb & 1) ? -1.0f : 1.0f;
        for (int i = 0; i < 18; i += 2) {
            out[i][sb] = o[i];
            out[i + 1][sb] = o[i + 1] * flip;
        }
    }
    for (; sb < bands.outputSubbands; ++sb) {
        for (int i = 0; i < 18; ++i) out[i][sb] = 0.0f;
    }
    // Lines above the decoded subbands (alias butterflies and short-block reordering may have
    // put values there) must not linger into the next use of this array.
    const int top = 18 * bands.outputSubbands;
    std::memset(in.xr + top, 0, sizeof(float) * static_cast<size_t>(kGranuleLines - top));
    return 18 * reached;
}

void inverseMdct36(const float x[18], int blockType, float z[36]) {
    imdct36(tables(), x, tables().window[blockType & 3], z);
}

void inverseMdctShort(const float x[18], float z[36]) {
    imdctShort(tables(), x, z);
}

}  // namespace kivo::mpeg
