#include "layer3_hybrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "layer3_band_tables.h"
#include "simd4.h"

namespace kivo::mpeg {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Constants of the transforms, as scalars or as four equal lanes.
template <typename T>
struct TransformConstants {
    T c18[18], c9[9];
    T r[9][4];
    T half;
    // Long windows by block type, entries 9..35 negated to pair with the fast transform.
    T window[4][36];
    // Windowed 12-point transform [output][input].
    T shortMatrix[12][6];
};

struct HybridTables {
    float cs[8], ca[8];  // alias butterflies
    TransformConstants<float> scalar;
    TransformConstants<F4> lanes;

    HybridTables() {
        for (int i = 0; i < 8; ++i) {
            const double c = kAliasCoefficients[i];
            cs[i] = static_cast<float>(1.0 / std::sqrt(1.0 + c * c));
            ca[i] = static_cast<float>(c / std::sqrt(1.0 + c * c));
        }
        TransformConstants<float>& s = scalar;
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
                s.window[t][i] = static_cast<float>(i >= 9 ? -w : w);
            }
        }
        for (int k = 0; k < 18; ++k)
            s.c18[k] = static_cast<float>(2 * std::cos((2 * k + 1) * kPi / 72));
        for (int k = 0; k < 9; ++k)
            s.c9[k] = static_cast<float>(2 * std::cos((2 * k + 1) * kPi / 36));
        for (int k = 0; k < 9; ++k) {
            for (int j = 0; j < 4; ++j) {
                s.r[k][j] = static_cast<float>(std::cos((2 * j + 1) * 2 * k * kPi / 36));
            }
        }
        s.half = 0.5f;
        for (int i = 0; i < 12; ++i) {
            for (int k = 0; k < 6; ++k) {
                s.shortMatrix[i][k] =
                    static_cast<float>(std::sin(kPi / 12 * (i + 0.5)) *
                                       std::cos(kPi / 24 * (2 * i + 7) * (2 * k + 1)));
            }
        }
        // The lane version repeats every constant four times.
        const float* from = reinterpret_cast<const float*>(&scalar);
        F4* to = reinterpret_cast<F4*>(&lanes);
        static_assert(sizeof(lanes) == 4 * sizeof(scalar));
        for (size_t i = 0; i < sizeof(scalar) / sizeof(float); ++i) to[i] = F4(from[i]);
    }
};

const HybridTables& tables() {
    static const HybridTables t;
    return t;
}

template <typename T>
inline T dot4(const T* r, const T* v) {
    return r[0] * v[0] + r[1] * v[1] + r[2] * v[2] + r[3] * v[3];
}

// 36-point inverse MDCT times the stored window: the window's sign flips make the folded
// output come out as the standard's windowed transform.
template <typename T>
[[gnu::always_inline]] inline void imdct36(const TransformConstants<T>& t, const T* x, const T* w,
                                           T* z) {
    T A[4], B[4], C[4], D[4];
    for (int i = 0; i < 4; ++i) {
        const T a = t.c18[i] * x[i], b = t.c18[17 - i] * x[17 - i];
        const T e = t.c18[8 - i] * x[8 - i], f = t.c18[9 + i] * x[9 + i];
        A[i] = (e + f) + (a + b);
        B[i] = (a + b) - (e + f);
        C[i] = (e - f) * t.c9[8 - i] + (a - b) * t.c9[i];
        D[i] = (a - b) * t.c9[i] - (e - f) * t.c9[8 - i];
    }
    const T a4 = t.c18[4] * x[4], b4 = t.c18[13] * x[13];
    const T A4 = a4 + b4, C4 = (a4 - b4) * t.c9[4];

    T y[18];
    y[0] = (A4 + A[0] + A[1] + A[2] + A[3]) * t.half;
    y[1] = (C4 + C[0] + C[1] + C[2] + C[3]) * t.half;
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
    y[13] = (C[3] + C[2] + C[0]) * t.half - C[1] - C4 - y[11];
    y[11] = y[11] - y[10];
    y[12] = (A[3] + A[2] + A[0]) * t.half - A[1] - A4 - y[11];
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
template <typename T>
[[gnu::always_inline]] inline void imdctShort(const TransformConstants<T>& t, const T* x, T* z) {
    const T zero(0.0f);
    for (int i = 0; i < 6; ++i) z[i] = z[30 + i] = zero;
    T y[3][12];
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < 12; ++i) {
            const T* m = t.shortMatrix[i];
            y[w][i] = m[0] * x[w] + m[1] * x[3 + w] + m[2] * x[6 + w] + m[3] * x[9 + w] +
                      m[4] * x[12 + w] + m[5] * x[15 + w];
        }
    }
    for (int i = 0; i < 6; ++i) {
        z[6 + i] = y[0][i];
        z[12 + i] = y[0][6 + i] + y[1][i];
        z[18 + i] = y[1][6 + i] + y[2][i];
        z[24 + i] = y[2][6 + i];
    }
}

// Lines 0..17 of four consecutive subbands as 18 vectors of four lanes.
[[gnu::always_inline]] inline void gatherLanes(const float* xr, F4 x[18]) {
    for (int k = 0; k < 16; k += 4) {
        F4 r0 = F4::load(xr + k), r1 = F4::load(xr + 18 + k), r2 = F4::load(xr + 36 + k),
           r3 = F4::load(xr + 54 + k);
        F4::transpose(r0, r1, r2, r3);
        x[k] = r0, x[k + 1] = r1, x[k + 2] = r2, x[k + 3] = r3;
    }
    F4 r0 = F4::load(xr + 16), r1 = F4::load(xr + 34), r2 = F4::load(xr + 52),
       r3 = F4::load(xr + 70);
    F4::transpose(r0, r1, r2, r3);
    x[16] = r0, x[17] = r1;
}

}  // namespace

void reduceAliases(float* xr, int* nonZeroExtent, const BlockInfo& info) {
    if (info.longBands == 0) return;
    const int boundaries = info.hasShort ? 1 : std::min((*nonZeroExtent + 7) / 18, 31);
    if (boundaries == 0) return;
    const HybridTables& t = tables();
    // a runs down from the top of subband s, b up from the bottom of s + 1.
    const F4 cs0 = F4::load(t.cs), cs1 = F4::load(t.cs + 4);
    const F4 ca0 = F4::load(t.ca), ca1 = F4::load(t.ca + 4);
    for (int s = 0; s < boundaries; ++s) {
        float* lo = xr + 18 * s + 10;  // lines 17 - i for i = 7..0
        float* hi = xr + 18 * (s + 1);
        const F4 a0 = F4::load(lo + 4).reversed(), a1 = F4::load(lo).reversed();
        const F4 b0 = F4::load(hi), b1 = F4::load(hi + 4);
        (a0 * cs0 - b0 * ca0).reversed().store(lo + 4);
        (a1 * cs1 - b1 * ca1).reversed().store(lo);
        (b0 * cs0 + a0 * ca0).store(hi);
        (b1 * cs1 + a1 * ca1).store(hi + 4);
    }
    *nonZeroExtent = std::max(*nonZeroExtent, 18 * boundaries + 8);
}

namespace {

[[gnu::always_inline]] inline int filterGranule(const HybridInput& in, Overlap overlap,
                                                const BandLayout& bands, float out[18][32]) {
    const HybridTables& t = tables();
    const int limit = bands.lineLimit;
    const int outputSubbands = bands.outputSubbands;
    int longExtent = in.blockType != 2 ? in.nonZeroExtent
                     : in.mixed        ? bands.longBounds[bands.mixedLongBands]
                                       : 0;
    longExtent = std::min(longExtent, limit);
    const int totalExtent = std::min(in.nonZeroExtent, limit);
    const int codedSubbands = (std::max(longExtent, totalExtent) + 17) / 18;
    // Long blocks transform every coded subband as long (those above the extent are zero).
    const int longSubbands = in.blockType == 2 ? (longExtent + 17) / 18 : 32;
    const int overlapSubbands = (std::min(overlap.extent, limit) + 17) / 18;
    // A mixed block transforms its lowest (long) subbands with the normal window, the rest
    // with the window of its block type.
    const int normalSubbands = in.mixed ? bands.longBounds[bands.mixedLongBands] / 18 : 0;
    const int type = in.blockType & 3;
    float* ov = overlap.values;

    int sb = 0;
    // Four subbands at a time. Lanes at or above the output subbands (the top subband is
    // never decoded) get no input, so their output and overlap stay zero.
    for (; sb < codedSubbands; sb += 4) {
        F4 x[18], z[36];
        gatherLanes(in.xr + 18 * sb, x);
        if (sb + 4 > outputSubbands) {
            for (int i = 0; i < 18; ++i) x[i] = x[i].lowerLanes(outputSubbands - sb);
        }
        const int longLanes = std::clamp(longSubbands - sb, 0, 4);
        const int normalLanes = std::clamp(normalSubbands - sb, 0, 4);
        if (longLanes == 0) {
            imdctShort(t.lanes, x, z);
        } else if (normalLanes == 0 || normalLanes >= longLanes) {
            imdct36(t.lanes, x, t.lanes.window[normalLanes ? 0 : type], z);
        } else {
            // Normal window in the lower lanes, the block type's in the upper ones.
            F4 w[36];
            for (int i = 0; i < 36; ++i) {
                float lane[4];
                for (int l = 0; l < 4; ++l) {
                    lane[l] = t.scalar.window[l < normalLanes ? 0 : type][i];
                }
                w[i] = F4::load(lane);
            }
            imdct36(t.lanes, x, w, z);
        }
        if (longLanes > 0 && longLanes < 4) {
            // Lower lanes long, upper lanes short (the bottom of a mixed block).
            F4 zs[36];
            imdctShort(t.lanes, x, zs);
            for (int i = 0; i < 36; ++i) {
                float l[4], s[4];
                z[i].store(l);
                zs[i].store(s);
                for (int lane = longLanes; lane < 4; ++lane) l[lane] = s[lane];
                z[i] = F4::load(l);
            }
        }
        for (int i = 0; i < 18; ++i) {
            float* o = ov + 32 * i + sb;
            const F4 v = z[i] + F4::load(o);
            ((i & 1) ? v.negateOdd() : v).store(out[i] + sb);
            z[18 + i].store(o);
        }
    }
    // Subbands only the previous granule reached: its overlap alone.
    sb = std::min(sb, outputSubbands);
    const int reached = std::max(sb, overlapSubbands);
    for (int i = 0; i < 18; ++i) {
        float* o = ov + 32 * i;
        const bool odd = i & 1;
        for (int k = sb; k < reached; ++k) {
            out[i][k] = (odd && (k & 1)) ? -o[k] : o[k];
            o[k] = 0.0f;
        }
        for (int k = reached; k < outputSubbands; ++k) out[i][k] = 0.0f;
    }
    // Only the transformed subbands leave an overlap behind.
    return 18 * sb;
}

int filterGranuleNarrow(const HybridInput& in, Overlap overlap, const BandLayout& bands,
                        float out[18][32]) {
    return filterGranule(in, overlap, bands, out);
}

#if defined(KIVO_WIDE_VECTORS)
// The same code in the three-operand encoding, which saves the register copies of the
// butterflies.
[[gnu::target("avx")]] int filterGranuleWide(const HybridInput& in, Overlap overlap,
                                             const BandLayout& bands, float out[18][32]) {
    return filterGranule(in, overlap, bands, out);
}
#endif

}  // namespace

int hybridFilter(const HybridInput& in, Overlap overlap, const BandLayout& bands, float out[18][32],
                 bool wide) {
#if defined(KIVO_WIDE_VECTORS)
    if (wide) return filterGranuleWide(in, overlap, bands, out);
#endif
    (void)wide;
    return filterGranuleNarrow(in, overlap, bands, out);
}

void inverseMdct36(const float x[18], int blockType, float z[36]) {
    imdct36(tables().scalar, x, tables().scalar.window[blockType & 3], z);
}

void inverseMdctShort(const float x[18], float z[36]) {
    imdctShort(tables().scalar, x, z);
}

void prepareHybridTables() {
    tables();
}

}  // namespace kivo::mpeg
