// Deterministic subband input shared by the synthesis benchmark and driver.
#pragma once

#include <cstdint>
#include <vector>

namespace kivo::bench {

// `count` floats in +-amplitude from a fixed linear congruential sequence.
inline std::vector<float> subbandNoise(size_t count, float amplitude) {
    std::vector<float> v(count);
    uint32_t x = 12345;
    for (auto& f : v) {
        x = x * 1664525u + 1013904223u;
        f = (static_cast<float>(x >> 8) / 8388608.0f - 1.0f) * amplitude;
    }
    return v;
}

}  // namespace kivo::bench
