// MSB-first bit reader over a buffer that stays readable for at least 8 bytes past the last
// position the caller can reach (the reservoir, the side-information copy and the Layer II frame
// copy are padded), so a refill is one unaligned 64-bit load with no end test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kivo::mpeg {

class BitReader {
public:
    BitReader() = default;
    // Starts reading `bitOffset` bits into `base`.
    BitReader(const uint8_t* base, int64_t bitOffset) { seek(base, bitOffset); }

    void seek(const uint8_t* base, int64_t bitOffset) {
        base_ = base;
        next_ = base + (bitOffset >> 3);
        cache_ = 0;
        bits_ = 0;
        refill();
        skip(static_cast<int>(bitOffset & 7));
    }

    // After a refill at least 56 bits are cached.
    void refill() {
        uint64_t v;
        std::memcpy(&v, next_, 8);
        v = __builtin_bswap64(v);
        cache_ |= v >> bits_;
        next_ += (63 - bits_) >> 3;
        bits_ |= 56;
    }

    // At least n <= 56 bits cached, refilling only when fewer are.
    void ensure(int n) {
        if (bits_ < n) refill();
    }

    // The next n bits without consuming them; 1 <= n <= cached bits.
    uint32_t peek(int n) const { return static_cast<uint32_t>(cache_ >> (64 - n)); }
    void skip(int n) {
        cache_ <<= n;
        bits_ -= n;
    }
    // n cached bits, 0 <= n <= 32.
    uint32_t take(int n) {
        if (n == 0) return 0;
        const uint32_t v = peek(n);
        skip(n);
        return v;
    }
    // The next bit when `present`, else 0 and nothing consumed.
    uint32_t takeSignIf(bool present) {
        const uint32_t n = present;
        const uint32_t v = static_cast<uint32_t>(cache_ >> 63) & n;
        skip(static_cast<int>(n));
        return v;
    }
    // Steps over n >= 0 bits, however many.
    void advance(int64_t n) { seek(base_, position() + n); }
    // Any n <= 32, refilling as needed.
    uint32_t read(int n) {
        ensure(n);
        return take(n);
    }

    // The next byte a refill loads; at most 8 bytes past the read position.
    const uint8_t* loadPointer() const { return next_; }
    // Bits consumed since `base`.
    int64_t position() const { return (next_ - base_) * 8 - bits_; }

private:
    const uint8_t* base_ = nullptr;
    const uint8_t* next_ = nullptr;
    uint64_t cache_ = 0;  // unread bits, left-aligned
    int bits_ = 0;
};

}  // namespace kivo::mpeg
