// Hand-made MPEG audio byte streams for the stream-rule tests: frames with a chosen header and
// a payload free of sync bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kivo::test {

struct FrameSpec {
    uint8_t b1 = 0xFB;  // MPEG-1 Layer III, no CRC
    int bitrateIndex = 9;
    int rateIndex = 0;
    int padding = 0;
    int mode = 1;
};

inline std::vector<uint8_t> frameHeaderBytes(const FrameSpec& f) {
    return {0xFF, f.b1,
            static_cast<uint8_t>(f.bitrateIndex << 4 | f.rateIndex << 2 | f.padding << 1),
            static_cast<uint8_t>(f.mode << 6)};
}

// Appends one frame of `length` bytes (header included) to `out`.
inline void appendFrame(std::vector<uint8_t>& out, const FrameSpec& f, size_t length) {
    const std::vector<uint8_t> h = frameHeaderBytes(f);
    out.insert(out.end(), h.begin(), h.end());
    for (size_t i = 4; i < length; ++i) out.push_back(static_cast<uint8_t>(0x11 + i % 7));
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        std::fclose(f);
    }
    return bytes;
}

inline std::string streamFixture(const char* name) {
    return std::string(KIVO_TEST_DATA) + "/streams/" + name;
}

}  // namespace kivo::test
