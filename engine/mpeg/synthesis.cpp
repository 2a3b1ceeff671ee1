// Polyphase synthesis. Per time slot: a 32-point cosine transform of the subband samples
// (recursive even/odd split) whose 32 results are kept in a ring of the last 16 slots, then a
// 512-tap window folded to 16 taps per output.
//
// Ring layout: the windowing step needs, from a slot t slots back, entries 16+j when t is even
// and 16-j when t is odd (and the mirror images for the upper outputs). Slots with an odd
// counter are therefore stored mirrored (entry i holds X[(32 - i) & 31]), even ones in natural
// order, and entry 32 repeats X[0]. Seen from a slot with an even counter every older slot is
// then read at entries 16..31 and 17..32; from an odd one at 1..16 and 0..15. The lane tables
// below fold the window taps, their signs and the output order of both cases.
#include "synthesis.h"

#include <cstring>

#include "synthesis_window.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo::mpeg {
namespace {

constexpr int kStride = SynthesisState::kSlotStride;

// out[k] = sum in[i] cos((2i + 1) k pi / 2N): split into the sums and the scaled differences
// of mirrored inputs, transform both halves, then recombine (odd outputs are the sum of two
// neighbouring odd-half results).
template <int N>
inline void cosineTransform(const float* in, float* out) {
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        constexpr int H = N / 2;
        const float* c = kTransformCoefficients + (32 - N);
        float even[H], odd[H], e[H], o[H];
        for (int i = 0; i < H; ++i) {
            even[i] = in[i] + in[N - 1 - i];
            odd[i] = (in[i] - in[N - 1 - i]) * c[i];
        }
        cosineTransform<H>(even, e);
        cosineTransform<H>(odd, o);
        for (int k = 0; k < H; ++k) out[2 * k] = e[k];
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

struct WindowLanes {
    alignas(16) float lower[2][16][16];  // [parity][slot age t][lane]
    alignas(16) float upper[2][16][16];
};

constexpr WindowLanes makeWindowLanes() {
    WindowLanes w{};
    constexpr float kScale = 1.0f / 65536.0f;
    for (int P = 0; P < 2; ++P) {
        for (int t = 0; t < 16; ++t) {
            for (int q = 0; q < 16; ++q) {
                const int j = lowerOutput(P, q);
                const int lower = kSynthesisWindow65536[16 * j + t];
                w.lower[P][t][q] = static_cast<float>(t & 1 ? -lower : lower) * kScale;
                const int m = upperOutput(P, q) - 16;
                int upper = 0;
                if (m == 0) {
                    upper = t & 1 ? kSynthesisWindow65536[256 + t / 2] : 0;
                } else {
                    upper = kSynthesisWindow65536[16 * (16 - m) + 15 - t];
                }
                w.upper[P][t][q] = static_cast<float>(upper) * kScale;
            }
        }
    }
    return w;
}

constexpr WindowLanes kLanes = makeWindowLanes();

// Transforms one slot of 32 subband samples into the ring's next slot; returns its counter.
inline uint32_t pushSlot(SynthesisState::Ring& r, const float* subbands) {
    float x[32];
    cosineTransform<32>(subbands, x);
    const uint32_t n = ++r.slot;
    float* dst = r.values + (n & 15) * kStride;
    if (n & 1) {
        dst[0] = x[0];
        for (int i = 1; i < 32; ++i) dst[i] = x[32 - i];
    } else {
        for (int i = 0; i < 32; ++i) dst[i] = x[i];
    }
    dst[32] = x[0];
    return n;
}

#if defined(__SSE2__)

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

template <int P>
inline Pcm32 windowSlot(const SynthesisState::Ring& r, uint32_t n) {
    constexpr int kLowerAt = P == 0 ? 16 : 1;
    constexpr int kUpperAt = P == 0 ? 17 : 0;
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    __m128 b0 = a0, b1 = a0, b2 = a0, b3 = a0;
#pragma GCC unroll 16
    for (int t = 0; t < 16; ++t) {
        const float* s = r.values + ((n - t) & 15) * kStride;
        const float* ca = kLanes.lower[P][t];
        const float* cb = kLanes.upper[P][t];
        a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 0), _mm_load_ps(ca + 0)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 4), _mm_load_ps(ca + 4)));
        a2 = _mm_add_ps(a2, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 8), _mm_load_ps(ca + 8)));
        a3 = _mm_add_ps(a3, _mm_mul_ps(_mm_loadu_ps(s + kLowerAt + 12), _mm_load_ps(ca + 12)));
        b0 = _mm_add_ps(b0, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 0), _mm_load_ps(cb + 0)));
        b1 = _mm_add_ps(b1, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 4), _mm_load_ps(cb + 4)));
        b2 = _mm_add_ps(b2, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 8), _mm_load_ps(cb + 8)));
        b3 = _mm_add_ps(b3, _mm_mul_ps(_mm_loadu_ps(s + kUpperAt + 12), _mm_load_ps(cb + 12)));
    }
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

inline Pcm32 synthesizeSlot(SynthesisState::Ring& r, const float* subbands) {
    const uint32_t n = pushSlot(r, subbands);
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

// Writes one channel's samples into every second position, keeping the other channel's.
inline void storeChannel(const Pcm32& p, int16_t* pcm, int channel) {
    const __m128i keep = _mm_set1_epi32(channel == 0 ? static_cast<int>(0xFFFF0000u) : 0xFFFF);
    for (int k = 0; k < 4; ++k) {
        auto* dst = reinterpret_cast<__m128i*>(pcm + 16 * k);
        const __m128i lo = _mm_unpacklo_epi16(p.v[k], p.v[k]);
        const __m128i hi = _mm_unpackhi_epi16(p.v[k], p.v[k]);
        const __m128i old0 = _mm_loadu_si128(dst);
        const __m128i old1 = _mm_loadu_si128(dst + 1);
        _mm_storeu_si128(dst, _mm_or_si128(_mm_and_si128(old0, keep), _mm_andnot_si128(keep, lo)));
        _mm_storeu_si128(dst + 1,
                         _mm_or_si128(_mm_and_si128(old1, keep), _mm_andnot_si128(keep, hi)));
    }
}

#else  // plain C++

struct Pcm32 {
    int16_t v[32];
};

inline int16_t toPcm(float sum) {
    if (!(sum > -32768.0f)) return -32768;  // also a NaN sum
    if (sum > 32767.0f) return 32767;
    return static_cast<int16_t>(sum);  // truncates toward zero
}

inline Pcm32 synthesizeSlot(SynthesisState::Ring& r, const float* subbands) {
    const uint32_t n = pushSlot(r, subbands);
    const int P = n & 1;
    const int lowerAt = P == 0 ? 16 : 1;
    const int upperAt = P == 0 ? 17 : 0;
    float lower[16] = {}, upper[16] = {};
    for (int t = 0; t < 16; ++t) {
        const float* s = r.values + ((n - t) & 15) * kStride;
        for (int q = 0; q < 16; ++q) {
            lower[q] += s[lowerAt + q] * kLanes.lower[P][t][q];
            upper[q] += s[upperAt + q] * kLanes.upper[P][t][q];
        }
    }
    Pcm32 out;
    for (int q = 0; q < 16; ++q) {
        out.v[lowerOutput(P, q)] = toPcm(lower[q]);
        out.v[upperOutput(P, q)] = toPcm(upper[q]);
    }
    return out;
}

inline void storeMono(const Pcm32& p, int16_t* pcm) {
    std::memcpy(pcm, p.v, sizeof p.v);
}

inline void storeInterleaved(const Pcm32& left, const Pcm32& right, int16_t* pcm) {
    for (int i = 0; i < 32; ++i) {
        pcm[2 * i] = left.v[i];
        pcm[2 * i + 1] = right.v[i];
    }
}

inline void storeChannel(const Pcm32& p, int16_t* pcm, int channel) {
    for (int i = 0; i < 32; ++i) pcm[2 * i + channel] = p.v[i];
}

#endif

}  // namespace

void SynthesisState::clear() {
    std::memset(static_cast<void*>(this), 0, sizeof *this);
}

void synthesizeLayer3Mono(SynthesisState& s, const float hybrid[18][32], int16_t* pcm) {
    for (int i = 0; i < 18; ++i) storeMono(synthesizeSlot(s.ring[0], hybrid[i]), pcm + 32 * i);
}

void synthesizeLayer3Stereo(SynthesisState& s, const float hybrid[18][32], int16_t* pcm,
                            int channel) {
    channel &= 1;
    for (int i = 0; i < 18; ++i) {
        storeChannel(synthesizeSlot(s.ring[channel], hybrid[i]), pcm + 64 * i, channel);
    }
}

void synthesizeLayer2Single(SynthesisState& s, const float* block, int16_t* pcm, int slots) {
    for (int i = 0; i < slots; ++i) {
        storeMono(synthesizeSlot(s.ring[0], block + 64 * i), pcm + 32 * i);
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
        storeInterleaved(l, r, pcm + 64 * i);
    }
}

}  // namespace kivo::mpeg
