#include "id3_tags.h"

#include <cstring>

namespace kivo {

std::optional<Id3v2Header> parseId3v2Header(const uint8_t* p, size_t n) {
    if (n < kId3v2HeaderBytes || std::memcmp(p, "ID3", 3) != 0) return std::nullopt;
    Id3v2Header h;
    h.majorVersion = p[3];
    h.flags = p[5];
    // A synchsafe number: seven low bits of each byte, most significant first.
    for (int i = 6; i < 10; ++i) h.size = h.size << 7 | (p[i] & 0x7Fu);
    return h;
}

uint64_t id3v2TagLength(const uint8_t* p, size_t n) {
    const auto h = parseId3v2Header(p, n);
    if (!h) return 0;
    const uint64_t footer = h->majorVersion == 4 && (h->flags & 0x10) ? kId3v2HeaderBytes : 0;
    return kId3v2HeaderBytes + h->size + footer;
}

bool endsWithId3v1(const uint8_t* tail, size_t n, uint64_t fileSize) {
    if (fileSize < kId3v1Bytes || n < kId3v1Bytes) return false;
    return std::memcmp(tail + n - kId3v1Bytes, "TAG", 3) == 0;
}

}  // namespace kivo
