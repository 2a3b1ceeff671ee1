#include "audio_span.h"

#include <algorithm>
#include <cstring>

#include "id3_tags.h"

namespace kivo {

namespace {

// Tags in front beyond this count are left to the stream search.
constexpr int kMostLeadingTags = 8;
constexpr uint32_t kApeHasHeader = 0x80000000u;

uint32_t readLittleEndian32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool readAt(std::FILE* file, int64_t at, uint8_t* bytes, size_t n) {
    return std::fseek(file, static_cast<long>(at), SEEK_SET) == 0 &&
           std::fread(bytes, 1, n, file) == n;
}

int64_t leadingTagsEnd(std::FILE* file, int64_t length) {
    int64_t at = 0;
    for (int tag = 0; tag < kMostLeadingTags; ++tag) {
        uint8_t header[kId3v2HeaderBytes];
        if (!readAt(file, at, header, sizeof header)) break;
        const uint64_t tagLength = id3v2TagLength(header, sizeof header);
        if (tagLength == 0 || at + static_cast<int64_t>(tagLength) > length) break;
        at += static_cast<int64_t>(tagLength);
    }
    return at;
}

// The end of the audio once the ID3v1 tag and an APE tag before it are taken off.
int64_t trailingTagsStart(std::FILE* file, int64_t length) {
    uint8_t tail[kTrailingTagLook];
    const auto n = static_cast<size_t>(std::min<int64_t>(length, kTrailingTagLook));
    if (!readAt(file, length - static_cast<int64_t>(n), tail, n)) return length;
    return length - static_cast<int64_t>(trailingTagBytes(tail, n, static_cast<uint64_t>(length)));
}

}  // namespace

uint64_t trailingTagBytes(const uint8_t* tail, size_t n, uint64_t dataSize) {
    uint64_t tags = 0;
    if (n >= kId3v1Bytes && endsWithId3v1(tail + n - kId3v1Bytes, kId3v1Bytes, dataSize)) {
        tags = kId3v1Bytes;
    }
    if (n >= tags + kApeFooterBytes &&
        std::memcmp(tail + n - tags - kApeFooterBytes, "APETAGEX", 8) == 0) {
        const uint8_t* footer = tail + n - tags - kApeFooterBytes;
        // The size counts the items and the footer; a header, when there is one, comes on top.
        uint64_t tagBytes = readLittleEndian32(footer + 12);
        if (readLittleEndian32(footer + 20) & kApeHasHeader) tagBytes += kApeFooterBytes;
        if (tagBytes >= kApeFooterBytes && tagBytes <= dataSize - tags) tags += tagBytes;
    }
    return tags;
}

AudioSpan measureAudioSpan(std::FILE* file) {
    AudioSpan span;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const int64_t length = std::ftell(file);
        // A file too short for a tag header holds no audio worth reading.
        if (length < static_cast<int64_t>(kId3v2HeaderBytes)) {
            span.start = span.end = length < 0 ? 0 : length;
        } else {
            span.end = trailingTagsStart(file, length);
            span.start = leadingTagsEnd(file, span.end);
        }
    }
    std::fseek(file, static_cast<long>(span.start), SEEK_SET);
    return span;
}

}  // namespace kivo
