// Polyphase synthesis. Per time slot: a 32-point cosine transform of the subband samples
// (recursive even/odd split) whose 32 results are kept in a ring of the last 16 slots, then a
// 512-tap window folded to 16 taps per output.
//
// Ring layout: the windowing step needs, from a slot t slots back, entries 16+j when t is even
// and 16-j when t is odd (and the mirror images for the upper outputs). Slots with an odd
// counter are therefore stored mirrored (entry i holds X[(32 - i) & 31]), even ones in natural
// order, and entry 32 repeats X[0]. Seen from a slot with an even counter every older slot is
// then read at entries 16..31 and 17..32; from an odd one at 1..16 and 0..15. The tap table
// below folds the window taps, their signs and the output order of both cases.
//
// Where the processor has 256-bit vectors (checked once per process) the window runs eight
// lanes wide and the transform in the three-operand encoding; the sums are the same.
#include "synthesis.h"

#include <cstring>

#include "simd4.h"
#include "synthesis_window.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#if defined(__GNUC__) && defined(__x86_64__)
#define KIVO_WIDE_WINDOW 1
#include <immintrin.h>
#endif
#endif

namespace kivo::mpeg {
namespace {

constexpr int kStride = SynthesisState::kSlotStride;

template <typename T>
inline T transformCoefficient(int i);

// out[k] = sum in[i] cos((2i + 1) k pi / 2N): split into the sums and the scaled differences
// of mirrored inputs, transform both halves, then recombine (odd outputs are the sum of two
// neighbouring odd-half results). T is float, or four slots side by side.
template <int N, typename T>
[[gnu::always_inline]] inline void cosineTransform(const T* in, T* out) {
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        constexpr int H = N / 2;
        constexpr int c = 32 - N;  // this split's coefficients
        T even[H], odd[H], e[H], o[H];
#pragma GCC unroll 16
        for (int i = 0; i < H; ++i) {
            even[i] = in[i] + in[N - 1 - i];
            odd[i] = (in[i] - in[N - 1 - i]) * transformCoefficient<T>(c + i);
        }
        cosineTransform<H>(even, e);
        cosineTransform<H>(odd, o);
#pragma GCC unroll 16
        for (int k = 0; k < H; ++k) out[2 * k] = e[k];
#pragma GCC unroll 16
        for (int k = 0; k < H - 1; ++k) out[2 * k + 1] = o[k] + o[k + 1];
        out[N - 1] = o[H - 1];
    }
}

// Output index fed by lane q (0..15) of the lower (A) and upper (B) accumulators, for the
// parity P of the newest slot.
constexpr int lowerOutput(int P, int q) {
    return P == 0 ? q : 15 - q;
}
constexpr int upperOutput(int P, int q) {
    return P == 0 ? 31 - q : 16 + q;
}

// Window tap of lane q for the slot t slots older than the newest one.
constexpr float lowerTap(int P, int t, int q) {
    const int tap = kSynthesisWindow65536[16 * lowerOutput(P, q) + t];
    return static_cast<float>(t & 1 ? -tap : tap) / 65536.0f;
}
constexpr float upperTap(int P, int t, int q) {
    const int m = upperOutput(P, q) - 16;
    if (m == 0)
        return t & 1 ? static_cast<float>(kSynthesisWindow65536[256 + t / 2]) / 65536.0f : 0;
    return static_cast<float>(kSynthesisWindow65536[16 * (16 - m) + 15 - t]) / 65536.0f;
}

// The 16 slots of a ring are summed in storage order, so the taps rotate instead: row i
// serves the slot (-i) & 15 slots old, and rows are written twice so that the 16 rows for any
// newest position are consecutive. Each row: 16 lower lanes, then 16 upper lanes.
struct WindowTaps {
    alignas(32) float row[2][32][32];  // [parity of the newest slot][row][lane]
};

constexpr WindowTaps makeWindowTaps() {
    WindowTaps w{};
    for (int P = 0; P < 2; ++P) {
        for (int i = 0; i < 32; ++i) {
            const int t = (32 - i) & 15;
            for (int q = 0; q < 16; ++q) {
                w.row[P][i][q] = lowerTap(P, t, q);
                w.row[P][i][16 + q] = upperTap(P, t, q);
            }
        }
    }
    return w;
}

constexpr WindowTaps kTaps = makeWindowTaps();

// The first of the 16 rows of taps for a ring whose newest slot has counter n.
inline const float* tapsFor(uint32_t n) {
    return kTaps.row[n & 1][(16 - (n & 15)) & 15];
}

#if defined(__SSE2__)

// Four time slots side by side, one per lane: the transform runs on four slots at once.
struct Lanes4 {
    __m128 v;
};
inline Lanes4 operator+(Lanes4 a, Lanes4 b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline Lanes4 operator-(Lanes4 a, Lanes4 b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline Lanes4 operator*(Lanes4 a, Lanes4 b) {
    return {_mm_mul_ps(a.v, b.v)};
}

struct BroadcastCoefficients {
    alignas(16) float c[31][4];
};
constexpr BroadcastCoefficients makeBroadcastCoefficients() {
    BroadcastCoefficients b{};
    for (int i = 0; i < 31; ++i) {
        for (int l = 0; l < 4; ++l) b.c[i][l] = kTransformCoefficients[i];
    }
    return b;
}
constexpr BroadcastCoefficients kBroadcast = makeBroadcastCoefficients();

template <>
inline Lanes4 transformCoefficient<Lanes4>(int i) {
    return {_mm_load_ps(kBroadcast.c[i])};
}

inline void transpose(__m128& a, __m128& b, __m128& c, __m128& d) {
    _MM_TRANSPOSE4_PS(a, b, c, d);
}

// Transposes the transformed batch back to one slot per row, each laid out as its ring slot
// will hold it; MirrorFirst tells whether the batch's first slot has an odd counter.
template <bool MirrorFirst>
[[gnu::always_inline]] inline void stageBatch(const Lanes4 (&x)[32], float (*staged)[kStride]) {
#pragma GCC unroll 8
    for (int k = 0; k < 32; k += 4) {
        __m128 s[4] = {x[k].v, x[k + 1].v, x[k + 2].v, x[k + 3].v};
        transpose(s[0], s[1], s[2], s[3]);
#pragma GCC unroll 4
        for (int r = 0; r < 4; ++r) {
            if (((r & 1) != 0) != MirrorFirst) {
                // X[k..k+3] backwards into entries 29-k..32-k.
                _mm_storeu_ps(staged[r] + 29 - k,
                              _mm_shuffle_ps(s[r], s[r], _MM_SHUFFLE(0, 1, 2, 3)));
            } else {
                _mm_store_ps(staged[r] + k, s[r]);
            }
        }
    }
    for (int r = 0; r < 4; ++r) {
        if (((r & 1) != 0) != MirrorFirst) {
            staged[r][0] = staged[r][32];
        } else {
            staged[r][32] = staged[r][0];
        }
    }
}

// Transforms up to four slots of one channel; the batch's first slot gets counter `first`.
[[gnu::always_inline]] inline void transformBatch(const Lanes4 (&subbands)[32], uint32_t first,
                                                  float (*staged)[kStride]) {
    Lanes4 x[32];
    cosineTransform<32>(subbands, x);
    if (first & 1) {
        stageBatch<true>(x, staged);
    } else {
        stageBatch<false>(x, staged);
    }
}

// Rows `rows[r] + offset .. + 3` for r = 0..3, one lane per row.
inline void gather4(const float* const (&rows)[4], int offset, __m128& a, __m128& b, __m128& c,
                    __m128& d) {
    a = _mm_loadu_ps(rows[0] + offset);
    b = _mm_loadu_ps(rows[1] + offset);
    c = _mm_loadu_ps(rows[2] + offset);
    d = _mm_loadu_ps(rows[3] + offset);
    transpose(a, b, c, d);
}

// 32 PCM samples as four vectors of eight.
struct Pcm32 {
    __m128i v[4];
};

inline __m128i toPcm(__m128 lo, __m128 hi) {
    const __m128 kMin = _mm_set1_ps(-32768.0f);
    const __m128 kMax = _mm_set1_ps(32767.0f);
    // max first: a NaN sum becomes the lower bound instead of an undefined conversion.
    lo = _mm_min_ps(_mm_max_ps(lo, kMin), kMax);
    hi = _mm_min_ps(_mm_max_ps(hi, kMin), kMax);
    return _mm_packs_epi32(_mm_cvttps_epi32(lo), _mm_cvttps_epi32(hi));
}

inline __m128 reversed(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

// Converts the accumulated sums to PCM in output order.
template <int P>
inline Pcm32 finishWindow(__m128 a0, __m128 a1, __m128 a2, __m128 a3, __m128 b0, __m128 b1,
                          __m128 b2, __m128 b3) {
    Pcm32 out;
    if constexpr (P == 0) {
        out.v[0] = toPcm(a0, a1);
        out.v[1] = toPcm(a2, a3);
        out.v[2] = toPcm(reversed(b3), reversed(b2));
        out.v[3] = toPcm(reversed(b1), reversed(b0));
    } else {
        out.v[0] = toPcm(reversed(a3), reversed(a2));
        out.v[1] = toPcm(reversed(a1), reversed(a0));
        out.v[2] = toPcm(b0, b1);
        out.v[3] = toPcm(b2, b3);
    }
    return out;
}

template <int P>
inline Pcm32 windowSlot(const SynthesisState::Ring& r, uint32_t n) {
    constexpr int kLowerAt = P == 0 ? 16 : 1;
    constexpr int kUpperAt = P == 0 ? 17 : 0;
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    __m128 b0 = a0, b1 = a0, b2 = a0, b3 = a0;
    const float* taps = tapsFor(n);
#pragma GCC unroll 16
    for (int pos = 0; pos < 16; ++pos) {
        const float* s = r.values + pos * kStride;
        const float* ca = taps + 32 * pos;
        const float* cb = ca + 16;
        a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 0), _mm_load_ps(ca + 0)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 4), _mm_load_ps(ca + 4)));
        a2 = _mm_add_ps(a2, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 8), _mm_load_ps(ca + 8)));
        a3 = _mm_add_ps(a3, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 12), _mm_load_ps(ca + 12)));
        b0 = _mm_add_ps(b0, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 0), _mm_load_ps(cb + 0)));
        b1 = _mm_add_ps(b1, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 4), _mm_load_ps(cb + 4)));
        b2 = _mm_add_ps(b2, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 8), _mm_load_ps(cb + 8)));
        b3 = _mm_add_ps(b3, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 12), _mm_load_ps(cb + 12)));
    }
    return finishWindow<P>(a0, a1, a2, a3, b0, b1, b2, b3);
}

#if defined(KIVO_WIDE_WINDOW)
// The same sums eight lanes at a time, in the same order per lane, so the results are
// identical; chosen at run time where the processor has 256-bit vectors.
template <int P>
[[gnu::target("avx")]] Pcm32 windowSlotWide(const SynthesisState::Ring& r, uint32_t n) {
    constexpr int kLowerAt = P == 0 ? 16 : 1;
    constexpr int kUpperAt = P == 0 ? 17 : 0;
    __m256 a01 = _mm256_setzero_ps(), a23 = a01, b01 = a01, b23 = a01;
    const float* taps = tapsFor(n);
#pragma GCC unroll 16
    for (int pos = 0; pos < 16; ++pos) {
        const float* s = r.values + pos * kStride;
        const float* c = taps + 32 * pos;
        a01 = _mm256_add_ps(a01, _mm256_mul_ps(_mm256_loadu_ps(s + kLowerAt), _mm256_load_ps(c)));
        a23 = _mm256_add_ps(
            a23, _mm256_mul_ps(_mm256_loadu_ps(s + kLowerAt + 8), _mm256_load_ps(c + 8)));
        b01 = _mm256_add_ps(b01,
                            _mm256_mul_ps(_mm256_loadu_ps(s + kUpperAt), _mm256_load_ps(c + 16)));
        b23 = _mm256_add_ps(
            b23, _mm256_mul_ps(_mm256_loadu_ps(s + kUpperAt + 8), _mm256_load_ps(c + 24)));
    }
    return finishWindow<P>(_mm256_castps256_ps128(a01), _mm256_extractf128_ps(a01, 1),
                           _mm256_castps256_ps128(a23), _mm256_extractf128_ps(a23, 1),
                           _mm256_castps256_ps128(b01), _mm256_extractf128_ps(b01, 1),
                           _mm256_castps256_ps128(b23), _mm256_extractf128_ps(b23, 1));
}
#endif

// Moves a staged slot into the ring and windows it.
inline Pcm32 windowStaged(SynthesisState::Ring& r, const float* staged) {
    const uint32_t n = ++r.slot;
    float* dst = r.values + (n & 15) * kStride;
#pragma GCC unroll 9
    for (int i = 0; i < kStride; i += 4) _mm_store_ps(dst + i, _mm_load_ps(staged + i));
#if defined(KIVO_WIDE_WINDOW)
    if (r.wide) return n & 1 ? windowSlotWide<1>(r, n) : windowSlotWide<0>(r, n);
#endif
    return n & 1 ? windowSlot<1>(r, n) : windowSlot<0>(r, n);
}

inline void storeMono(const Pcm32& p, int16_t* pcm) {
    for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(pcm + 8 * k), p.v[k]);
}

inline void storeInterleaved(const Pcm32& left, const Pcm32& right, int16_t* pcm) {
    for (int k = 0; k < 4; ++k) {
        auto* dst = reinterpret_cast<__m128i*>(pcm + 16 * k);
        _mm_storeu_si128(dst, _mm_unpacklo_epi16(left.v[k], right.v[k]));
        _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(left.v[k], right.v[k]));
    }
}

// The four rows of a batch that starts at row i of `slots` (a short last batch repeats its
// last row in the unused lanes).
struct BatchRows {
    const float* row[4];
    int count;
    BatchRows(const float* rows, int stride, int i, int slots) {
        count = slots - i < 4 ? slots - i : 4;
        for (int r = 0; r < 4; ++r) row[r] = rows + stride * (i + (r < count ? r : count - 1));
    }
};

// Transforms one channel's batch of rows of 32 subband samples.
[[gnu::always_inline]] inline void transformRows(const BatchRows& b, uint32_t first,
                                                 float (*staged)[kStride]) {
    Lanes4 in[32];
#pragma GCC unroll 8
    for (int k = 0; k < 32; k += 4)
        gather4(b.row, k, in[k].v, in[k + 1].v, in[k + 2].v, in[k + 3].v);
    transformBatch(in, first, staged);
}

// Transforms a batch of rows of left,right pairs: each 4x4 transpose of two subband pairs
// yields left and right of two subbands.
[[gnu::always_inline]] inline void transformPairRows(const BatchRows& b, uint32_t firstLeft,
                                                     uint32_t firstRight,
                                                     float (*stagedLeft)[kStride],
                                                     float (*stagedRight)[kStride]) {
    Lanes4 left[32], right[32];
#pragma GCC unroll 16
    for (int sb = 0; sb < 32; sb += 2) {
        gather4(b.row, 2 * sb, left[sb].v, right[sb].v, left[sb + 1].v, right[sb + 1].v);
    }
    transformBatch(left, firstLeft, stagedLeft);
    transformBatch(right, firstRight, stagedRight);
}

void transformRowsNarrow(const BatchRows& b, uint32_t first, float (*staged)[kStride]) {
    transformRows(b, first, staged);
}
void transformPairRowsNarrow(const BatchRows& b, uint32_t firstLeft, uint32_t firstRight,
                             float (*stagedLeft)[kStride], float (*stagedRight)[kStride]) {
    transformPairRows(b, firstLeft, firstRight, stagedLeft, stagedRight);
}

#if defined(KIVO_WIDE_WINDOW)
// The same code in the three-operand encoding, which saves the register copies of the
// butterflies.
[[gnu::target("avx")]] void transformRowsWide(const BatchRows& b, uint32_t first,
                                              float (*staged)[kStride]) {
    transformRows(b, first, staged);
}
[[gnu::target("avx")]] void transformPairRowsWide(const BatchRows& b, uint32_t firstLeft,
                                                  uint32_t firstRight, float (*stagedLeft)[kStride],
                                                  float (*stagedRight)[kStride]) {
    transformPairRows(b, firstLeft, firstRight, stagedLeft, stagedRight);
}
#endif

// One channel: `slots` rows of 32 subband samples, `stride` floats apart, in batches of four.
template <typename Store>
inline void synthesizeChannel(SynthesisState::Ring& r, const float* rows, int stride, int slots,
                              Store store) {
    auto transform = transformRowsNarrow;
#if defined(KIVO_WIDE_WINDOW)
    if (r.wide) transform = transformRowsWide;
#endif
    for (int i = 0; i < slots; i += 4) {
        const BatchRows b(rows, stride, i, slots);
        alignas(16) float staged[4][kStride];
        transform(b, r.slot + 1, staged);
        for (int j = 0; j < b.count; ++j) store(i + j, windowStaged(r, staged[j]));
    }
}

}  // namespace

void synthesizeLayer3Mono(SynthesisState& s, const float hybrid[18][32], int16_t* pcm) {
    synthesizeChannel(s.ring[0], hybrid[0], 32, 18,
                      [pcm](int i, const Pcm32& p) { storeMono(p, pcm + 32 * i); });
}

void synthesizeLayer3Stereo(SynthesisState& s, const float left[18][32], const float right[18][32],
                            int16_t* pcm) {
    auto transform = transformRowsNarrow;
#if defined(KIVO_WIDE_WINDOW)
    if (s.ring[0].wide) transform = transformRowsWide;
#endif
    for (int i = 0; i < 18; i += 4) {
        const BatchRows l(left[0], 32, i, 18), r(right[0], 32, i, 18);
        alignas(16) float stagedLeft[4][kStride], stagedRight[4][kStride];
        transform(l, s.ring[0].slot + 1, stagedLeft);
        transform(r, s.ring[1].slot + 1, stagedRight);
        for (int j = 0; j < l.count; ++j) {
            const Pcm32 a = windowStaged(s.ring[0], stagedLeft[j]);
            const Pcm32 b = windowStaged(s.ring[1], stagedRight[j]);
            storeInterleaved(a, b, pcm + 64 * (i + j));
        }
    }
}

void synthesizeLayer2Single(SynthesisState& s, const float* block, int16_t* pcm, int slots) {
    synthesizeChannel(s.ring[0], block, 64, slots,
                      [pcm](int i, const Pcm32& p) { storeMono(p, pcm + 32 * i); });
}

void synthesizeLayer2Stereo(SynthesisState& s, const float* block, int16_t* pcm, int slots) {
    auto transform = transformPairRowsNarrow;
#if defined(KIVO_WIDE_WINDOW)
    if (s.ring[0].wide) transform = transformPairRowsWide;
#endif
    for (int i = 0; i < slots; i += 4) {
        const BatchRows b(block, 64, i, slots);
        alignas(16) float stagedLeft[4][kStride], stagedRight[4][kStride];
        transform(b, s.ring[0].slot + 1, s.ring[1].slot + 1, stagedLeft, stagedRight);
        for (int j = 0; j < b.count; ++j) {
            const Pcm32 l = windowStaged(s.ring[0], stagedLeft[j]);
            const Pcm32 r = windowStaged(s.ring[1], stagedRight[j]);
            storeInterleaved(l, r, pcm + 64 * (i + j));
        }
    }
}

#else  // plain C++

template <>
inline float transformCoefficient<float>(int i) {
    return kTransformCoefficients[i];
}

// Where slot n keeps its 33 values: natural order for even n, mirrored for odd n.
inline void storeSlot(const float* x, uint32_t n, float* dst) {
    if (n & 1) {
        dst[0] = x[0];
        for (int i = 1; i < 32; ++i) dst[i] = x[32 - i];
    } else {
        for (int i = 0; i < 32; ++i) dst[i] = x[i];
    }
    dst[32] = x[0];
}

struct Pcm32 {
    int16_t v[32];
};

inline int16_t toPcm(float sum) {
    if (!(sum > -32768.0f)) return -32768;  // also a NaN sum
    if (sum > 32767.0f) return 32767;
    return static_cast<int16_t>(sum);  // truncates toward zero
}

inline Pcm32 synthesizeSlot(SynthesisState::Ring& r, const float* subbands) {
    float x[32];
    cosineTransform<32>(subbands, x);
    const uint32_t n = ++r.slot;
    storeSlot(x, n, r.values + (n & 15) * kStride);
    const int P = n & 1;
    const int lowerAt = P == 0 ? 16 : 1;
    const int upperAt = P == 0 ? 17 : 0;
    const float* taps = tapsFor(n);
    float lower[16] = {}, upper[16] = {};
    for (int pos = 0; pos < 16; ++pos) {
        const float* s = r.values + pos * kStride;
        for (int q = 0; q < 16; ++q) {
            lower[q] += s[lowerAt + q] * taps[32 * pos + q];
            upper[q] += s[upperAt + q] * taps[32 * pos + 16 + q];
        }
    }
    Pcm32 out;
    for (int q = 0; q < 16; ++q) {
        out.v[lowerOutput(P, q)] = toPcm(lower[q]);
        out.v[upperOutput(P, q)] = toPcm(upper[q]);
    }
    return out;
}

}  // namespace

void synthesizeLayer3Mono(SynthesisState& s, const float hybrid[18][32], int16_t* pcm) {
    for (int i = 0; i < 18; ++i) {
        const Pcm32 p = synthesizeSlot(s.ring[0], hybrid[i]);
        std::memcpy(pcm + 32 * i, p.v, sizeof p.v);
    }
}

void synthesizeLayer3Stereo(SynthesisState& s, const float left[18][32], const float right[18][32],
                            int16_t* pcm) {
    for (int i = 0; i < 18; ++i) {
        const Pcm32 l = synthesizeSlot(s.ring[0], left[i]);
        const Pcm32 r = synthesizeSlot(s.ring[1], right[i]);
        for (int j = 0; j < 32; ++j) {
            pcm[64 * i + 2 * j] = l.v[j];
            pcm[64 * i + 2 * j + 1] = r.v[j];
        }
    }
}

void synthesizeLayer2Single(SynthesisState& s, const float* block, int16_t* pcm, int slots) {
    for (int i = 0; i < slots; ++i) {
        const Pcm32 p = synthesizeSlot(s.ring[0], block + 64 * i);
        std::memcpy(pcm + 32 * i, p.v, sizeof p.v);
    }
}

void synthesizeLayer2Stereo(SynthesisState& s, const float* block, int16_t* pcm, int slots) {
    for (int i = 0; i < slots; ++i) {
        float left[32], right[32];
        for (int sb = 0; sb < 32; ++sb) {
            left[sb] = block[64 * i + 2 * sb];
            right[sb] = block[64 * i + 2 * sb + 1];
        }
        const Pcm32 l = synthesizeSlot(s.ring[0], left);
        const Pcm32 r = synthesizeSlot(s.ring[1], right);
        for (int j = 0; j < 32; ++j) {
            pcm[64 * i + 2 * j] = l.v[j];
            pcm[64 * i + 2 * j + 1] = r.v[j];
        }
    }
}

#endif

void SynthesisState::clear() {
    std::memset(static_cast<void*>(this), 0, sizeof *this);
#if defined(KIVO_WIDE_WINDOW)
    ring[0].wide = ring[1].wide = processorHasWideVectors();
#endif
}

}  // namespace kivo::mpeg
