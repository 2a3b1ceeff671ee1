// The ID3 tags an MP3 file may carry around its audio: a version 2 tag in front, a version 1
// tag (the last 128 bytes, starting "TAG") behind. Pure functions over byte spans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kivo {

inline constexpr size_t kId3v2HeaderBytes = 10;
inline constexpr size_t kId3v1Bytes = 128;

struct Id3v2Header {
    int32_t majorVersion = 0;
    int32_t flags = 0;
    uint32_t size = 0;  // bytes after the 10-byte header, footer not counted
};

// The tag header at `p` when the `n` bytes start with one ("ID3").
std::optional<Id3v2Header> parseId3v2Header(const uint8_t* p, size_t n);

// The whole length of a leading tag of any version (header, body and a version 2.4 footer);
// 0 without a tag.
uint64_t id3v2TagLength(const uint8_t* p, size_t n);

// Whether a file of `fileSize` bytes whose last bytes are `tail` (the last `n` bytes of the
// file) ends with a version 1 tag.
bool endsWithId3v1(const uint8_t* tail, size_t n, uint64_t fileSize);

}  // namespace kivo
