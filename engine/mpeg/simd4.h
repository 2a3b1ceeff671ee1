// Four floats processed together: SSE2 where the target has it, plain arrays otherwise, so
// the decoder's transforms can be written once for both. Where the processor has 256-bit
// vectors, eight floats (F8) for code built for AVX.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo::mpeg {

#if defined(__SSE2__) && defined(__GNUC__) && defined(__x86_64__)
// Code built for the baseline can also run in the three-operand (VEX) encoding, and the
// synthesis window eight lanes wide, where the processor has 256-bit vectors; the sums stay
// the same, so the choice is made at run time.
#define KIVO_WIDE_VECTORS 1
inline bool processorHasWideVectors() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return has;
}
#else
inline bool processorHasWideVectors() {
    return false;
}
#endif

#if defined(__SSE2__)
struct F4 {
    __m128 v;
    F4() = default;
    F4(__m128 x) : v(x) {}
    explicit F4(float x) : v(_mm_set1_ps(x)) {}
    static F4 load(const float* p) { return _mm_loadu_ps(p); }
    static F4 set(float a, float b, float c, float d) { return _mm_setr_ps(a, b, c, d); }
    void store(float* p) const { _mm_storeu_ps(p, v); }
    friend F4 operator+(F4 a, F4 b) { return _mm_add_ps(a.v, b.v); }
    friend F4 operator-(F4 a, F4 b) { return _mm_sub_ps(a.v, b.v); }
    friend F4 operator*(F4 a, F4 b) { return _mm_mul_ps(a.v, b.v); }
    // Lanes 1 and 3 negated.
    F4 negateOdd() const {
        return _mm_xor_ps(v, _mm_castsi128_ps(_mm_setr_epi32(0, INT32_MIN, 0, INT32_MIN)));
    }
    // Lanes 0 to 3 in reverse order.
    F4 reversed() const { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    bool anyNonZero() const { return _mm_movemask_ps(_mm_cmpneq_ps(v, _mm_setzero_ps())) != 0; }
    // The first n lanes (0..4) kept, the others zero.
    F4 lowerLanes(int n) const {
        const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
        return _mm_and_ps(v, _mm_castsi128_ps(_mm_cmplt_epi32(lane, _mm_set1_epi32(n))));
    }
    // Rows r0..r3 become columns.
    static void transpose(F4& r0, F4& r1, F4& r2, F4& r3) {
        _MM_TRANSPOSE4_PS(r0.v, r1.v, r2.v, r3.v);
    }
};
#else
struct F4 {
    float v[4];
    F4() = default;
    explicit F4(float x) : v{x, x, x, x} {}
    static F4 load(const float* p) {
        F4 r;
        std::memcpy(r.v, p, sizeof(r.v));
        return r;
    }
    static F4 set(float a, float b, float c, float d) {
        F4 r;
        r.v[0] = a, r.v[1] = b, r.v[2] = c, r.v[3] = d;
        return r;
    }
    void store(float* p) const { std::memcpy(p, v, sizeof(v)); }
    template <typename Op>
    static F4 zip(F4 a, F4 b, Op op) {
        F4 r;
        for (int i = 0; i < 4; ++i) r.v[i] = op(a.v[i], b.v[i]);
        return r;
    }
    friend F4 operator+(F4 a, F4 b) {
        return zip(a, b, [](float x, float y) { return x + y; });
    }
    friend F4 operator-(F4 a, F4 b) {
        return zip(a, b, [](float x, float y) { return x - y; });
    }
    friend F4 operator*(F4 a, F4 b) {
        return zip(a, b, [](float x, float y) { return x * y; });
    }
    F4 negateOdd() const { return set(v[0], -v[1], v[2], -v[3]); }
    F4 reversed() const { return set(v[3], v[2], v[1], v[0]); }
    bool anyNonZero() const { return v[0] != 0 || v[1] != 0 || v[2] != 0 || v[3] != 0; }
    F4 lowerLanes(int n) const {
        F4 r = *this;
        for (int i = n; i < 4; ++i) r.v[i] = 0.0f;
        return r;
    }
    static void transpose(F4& r0, F4& r1, F4& r2, F4& r3) {
        F4 in[4] = {r0, r1, r2, r3};
        F4* out[4] = {&r0, &r1, &r2, &r3};
        for (int c = 0; c < 4; ++c) *out[c] = set(in[0].v[c], in[1].v[c], in[2].v[c], in[3].v[c]);
    }
};
#endif

#if defined(KIVO_WIDE_VECTORS) && !defined(_WIN32)
// 64-bit Windows keeps its stack 16-byte aligned and GCC does not realign it for 256-bit
// values spilled there, so the eight-lane transforms are left out of that build.
#define KIVO_EIGHT_LANES 1
// Eight floats in the compiler's own vector type, for functions built with
// [[gnu::target("avx")]] and called only where processorHasWideVectors(): such code gets
// 256-bit instructions without the operations needing the attribute themselves. The same
// interface as F4, lane for lane the same results. Every operation is inlined: one left out of
// line (an unoptimised build) would pass 256-bit values in the plain encoding's registers to
// and from AVX code that expects them elsewhere. Being inlined, no 256-bit value ever crosses
// a call, so the compiler's warning about that calling convention does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
struct F8 {
    typedef float Floats __attribute__((vector_size(32)));
    typedef int32_t Ints __attribute__((vector_size(32)));
    Floats v;
    F8() = default;
    [[gnu::always_inline]] F8(Floats x) : v(x) {}
    [[gnu::always_inline]] explicit F8(float x) : v(Floats{} + x) {}
    // Lanes 0..3 from lo, 4..7 from hi.
    [[gnu::always_inline]] static F8 combine(F4 lo, F4 hi) {
        return Floats(__builtin_shufflevector(lo.v, hi.v, 0, 1, 2, 3, 4, 5, 6, 7));
    }
    [[gnu::always_inline]] static F8 load(const float* p) {
        F8 r;
        std::memcpy(&r.v, p, sizeof r.v);
        return r;
    }
    [[gnu::always_inline]] void store(float* p) const { std::memcpy(p, &v, sizeof v); }
    [[gnu::always_inline]] friend F8 operator+(F8 a, F8 b) { return a.v + b.v; }
    [[gnu::always_inline]] friend F8 operator-(F8 a, F8 b) { return a.v - b.v; }
    [[gnu::always_inline]] friend F8 operator*(F8 a, F8 b) { return a.v * b.v; }
    // Lanes 0 to 7 in reverse order.
    [[gnu::always_inline]] F8 reversed() const {
        return Floats(__builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0));
    }
    // Lanes 1, 3, 5 and 7 negated.
    [[gnu::always_inline]] F8 negateOdd() const {
        const Ints sign{0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 0, INT32_MIN};
        return Floats(Ints(v) ^ sign);
    }
    // The first n lanes (0..8) kept, the others zero.
    [[gnu::always_inline]] F8 lowerLanes(int n) const {
        const Ints lane{0, 1, 2, 3, 4, 5, 6, 7};
        return Floats(Ints(v) & (lane < n));
    }
};
#pragma GCC diagnostic pop
#endif

}  // namespace kivo::mpeg
