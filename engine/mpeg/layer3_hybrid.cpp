#include "layer3_hybrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

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
#if defined(KIVO_EIGHT_LANES)
    TransformConstants<F8> lanes8;
#endif

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
#if defined(KIVO_EIGHT_LANES)
        // Copied rather than set: this code is not built for AVX.
        static_assert(sizeof(lanes8) == 8 * sizeof(scalar));
        auto* to8 = reinterpret_cast<unsigned char*>(&lanes8);
        for (size_t i = 0; i < sizeof(scalar) / sizeof(float); ++i) {
            const float eight[8] = {from[i], from[i], from[i], from[i],
                                    from[i], from[i], from[i], from[i]};
            std::memcpy(to8 + sizeof eight * i, eight, sizeof eight);
        }
#endif
    }
};

const HybridTables& tables() {
    static const HybridTables t;
    return t;
}

template <typename T>
[[gnu::always_inline]] inline T dot4(const T* r, const T* v) {
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

#if defined(KIVO_EIGHT_LANES)
[[gnu::always_inline]] inline void gatherLanes(const float* xr, F8 x[18]) {
    F4 lo[18], hi[18];
    gatherLanes(xr, lo);
    gatherLanes(xr + 4 * 18, hi);
    for (int k = 0; k < 18; ++k) x[k] = F8::combine(lo[k], hi[k]);
}
#endif

}  // namespace

namespace {

// The butterflies of boundaries 0..boundaries-1: a runs down from the top of subband s, b up
// from the bottom of s + 1.
[[gnu::always_inline]] inline void butterflies(float* xr, int boundaries) {
    const HybridTables& t = tables();
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
}

#if defined(KIVO_EIGHT_LANES)
// The same sums, all eight lines of a side in one vector.
[[gnu::target("avx")]] void butterfliesWide(float* xr, int boundaries) {
    const HybridTables& t = tables();
    const F8 cs = F8::load(t.cs), ca = F8::load(t.ca);
    for (int s = 0; s < boundaries; ++s) {
        float* lo = xr + 18 * s + 10;
        float* hi = xr + 18 * (s + 1);
        const F8 a = F8::load(lo).reversed(), b = F8::load(hi);
        (a * cs - b * ca).reversed().store(lo);
        (b * cs + a * ca).store(hi);
    }
}
#endif

}  // namespace

void reduceAliases(float* xr, int* nonZeroExtent, const BlockInfo& info, bool wide) {
    if (info.longBands == 0) return;
    const int boundaries = info.hasShort ? 1 : std::min((*nonZeroExtent + 7) / 18, 31);
    if (boundaries == 0) return;
#if defined(KIVO_EIGHT_LANES)
    if (wide) {
        butterfliesWide(xr, boundaries);
    } else {
        butterflies(xr, boundaries);
    }
#else
    (void)wide;
    butterflies(xr, boundaries);
#endif
    *nonZeroExtent = std::max(*nonZeroExtent, 18 * boundaries + 8);
}

namespace {

// What a granule's block kinds ask of each subband.
struct SubbandKinds {
    int outputSubbands;  // subbands at or above get no input (the top one is never decoded)
    int longSubbands;    // transformed as long blocks below this, as short ones above
    int normalSubbands;  // long with the normal window below this (a mixed block's bottom)
    int type;            // the block type's window for the other long subbands
};

// Subbands sb..sb+L-1, one per lane: transform, overlap-add and frequency inversion.
template <typename V, int L>
[[gnu::always_inline]] inline void filterSubbands(const TransformConstants<V>& c,
                                                  const HybridTables& t, const float* xr, int sb,
                                                  const SubbandKinds& k, float* ov,
                                                  float out[18][32]) {
    V x[18], z[36];
    gatherLanes(xr + 18 * sb, x);
    if (sb + L > k.outputSubbands) {
        for (int i = 0; i < 18; ++i) x[i] = x[i].lowerLanes(k.outputSubbands - sb);
    }
    const int longLanes = std::clamp(k.longSubbands - sb, 0, L);
    const int normalLanes = std::clamp(k.normalSubbands - sb, 0, L);
    if (longLanes == 0) {
        imdctShort(c, x, z);
    } else if (normalLanes == 0 || normalLanes >= longLanes) {
        imdct36(c, x, c.window[normalLanes ? 0 : k.type], z);
    } else {
        // Normal window in the lower lanes, the block type's in the upper ones.
        V w[36];
        for (int i = 0; i < 36; ++i) {
            float lane[L];
            for (int l = 0; l < L; ++l) lane[l] = t.scalar.window[l < normalLanes ? 0 : k.type][i];
            w[i] = V::load(lane);
        }
        imdct36(c, x, w, z);
    }
    if (longLanes > 0 && longLanes < L) {
        // Lower lanes long, upper lanes short (the bottom of a mixed block).
        V zs[36];
        imdctShort(c, x, zs);
        for (int i = 0; i < 36; ++i) {
            float l[L], s[L];
            z[i].store(l);
            zs[i].store(s);
            for (int lane = longLanes; lane < L; ++lane) l[lane] = s[lane];
            z[i] = V::load(l);
        }
    }
    for (int i = 0; i < 18; ++i) {
        float* o = ov + 32 * i + sb;
        const V v = z[i] + V::load(o);
        ((i & 1) ? v.negateOdd() : v).store(out[i] + sb);
        z[18 + i].store(o);
    }
}

// Eight-lane batches (where V8 is F8) while more than four subbands remain, then four-lane
// ones; every lane's sums are the same either way.
template <typename V8>
[[gnu::always_inline]] inline int filterGranule(const HybridInput& in, Overlap overlap,
                                                const BandLayout& bands, float out[18][32],
                                                const TransformConstants<V8>& c8) {
    const HybridTables& t = tables();
    const int limit = bands.lineLimit;
    const int outputSubbands = bands.outputSubbands;
    int longExtent = in.blockType != 2 ? in.nonZeroExtent
                     : in.mixed        ? bands.longBounds[bands.mixedLongBands]
                                       : 0;
    longExtent = std::min(longExtent, limit);
    const int totalExtent = std::min(in.nonZeroExtent, limit);
    const int codedSubbands = (std::max(longExtent, totalExtent) + 17) / 18;
    const int overlapSubbands = (std::min(overlap.extent, limit) + 17) / 18;
    const SubbandKinds kinds{
        outputSubbands,
        // Long blocks transform every coded subband as long (those above the extent are zero).
        in.blockType == 2 ? (longExtent + 17) / 18 : 32,
        // A mixed block transforms its lowest (long) subbands with the normal window, the rest
        // with the window of its block type.
        in.mixed ? bands.longBounds[bands.mixedLongBands] / 18 : 0, in.blockType & 3};
    float* ov = overlap.values;

    int sb = 0;
    if constexpr (!std::is_same_v<V8, F4>) {
        for (; sb + 4 < codedSubbands; sb += 8) {
            filterSubbands<V8, 8>(c8, t, in.xr, sb, kinds, ov, out);
        }
    }
    for (; sb < codedSubbands; sb += 4)
        filterSubbands<F4, 4>(t.lanes, t, in.xr, sb, kinds, ov, out);
    // The other subbands: the previous granule's overlap alone, zero where it did not reach
    // (the overlap is kept zero above its extent, and at and above the output subbands).
    // Transformed batches end on a multiple of four, so these run four at a time.
    sb = std::min(sb, outputSubbands);
    const int reached = std::max(sb, overlapSubbands);
    const F4 zero(0.0f);
    for (int k = sb; k < outputSubbands; k += 4) {
        for (int i = 0; i < 18; ++i) {
            float* o = ov + 32 * i + k;
            const F4 v = F4::load(o);
            ((i & 1) ? v.negateOdd() : v).store(out[i] + k);
            if (k < reached) zero.store(o);
        }
    }
    // Only the transformed subbands leave an overlap behind.
    return 18 * sb;
}

int filterGranuleNarrow(const HybridInput& in, Overlap overlap, const BandLayout& bands,
                        float out[18][32]) {
    return filterGranule(in, overlap, bands, out, tables().lanes);
}

#if defined(KIVO_WIDE_VECTORS)
// The same sums eight subbands at a time (four in the Windows build), in the three-operand
// encoding, which also saves the register copies of the butterflies.
[[gnu::target("avx")]] int filterGranuleWide(const HybridInput& in, Overlap overlap,
                                             const BandLayout& bands, float out[18][32]) {
#if defined(KIVO_EIGHT_LANES)
    return filterGranule(in, overlap, bands, out, tables().lanes8);
#else
    return filterGranule(in, overlap, bands, out, tables().lanes);
#endif
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
