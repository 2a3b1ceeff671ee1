// Where a file's audio lies: after the ID3v2 tags in front (an editor that wrote the tag twice
// leaves two, one after the other), before an APE tag and an ID3v1 tag at the end. Seeks and
// length estimates count over these bytes only, so that a large cover picture in a tag neither
// shifts a start percentage nor stretches the song's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kivo {

struct AudioSpan {
    int64_t start = 0;  // the first byte after the tags in front
    int64_t end = 0;    // one past the last audio byte
    int64_t size() const { return end > start ? end - start : 0; }
};

// How many of the last bytes of some data are tags: an ID3v1 tag and an APE tag before it.
// `tail` is the data's last `n` bytes, at least kTrailingTagLook of them (or all there are).
inline constexpr int64_t kApeFooterBytes = 32;
inline constexpr int64_t kTrailingTagLook = 128 + kApeFooterBytes;
uint64_t trailingTagBytes(const uint8_t* tail, size_t n, uint64_t dataSize);

// Measures the open file; its read position is left where the audio begins.
AudioSpan measureAudioSpan(std::FILE* file);

}  // namespace kivo
