#include "stream_rules.h"

#include <algorithm>

#include "mpeg/frame_length.h"

namespace kivo {

namespace {

// Free-format frames are searched for within this many bytes and up to this length.
constexpr size_t kFreeFormatWindow = 10000;
constexpr size_t kFreeFormatMaxLength = 1999;
constexpr size_t kFreeFormatMinLength = 24;

uint32_t readBigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Whether a free-format candidate length repeats: every frame start reached by stepping from
// the header (each frame adding its own padding) within the window shows the same two bytes.
bool freeFormatLengthHolds(const uint8_t* p, size_t window, size_t length,
                           const FrameHeader& header) {
    const size_t unit = static_cast<size_t>(mpeg::paddingUnitOf(header));
    size_t position = 0;
    int padding = header.padding;
    int matches = 0;
    for (;;) {
        position += length + (padding ? unit : 0);
        if (position >= window) break;
        if (p[position] != p[0] || p[position + 1] != p[1]) return false;
        padding = (p[position + 2] >> 1) & 1;
        ++matches;
    }
    return matches > 0;
}

int32_t measureFreeFormat(const uint8_t* p, size_t n, const FrameHeader& header) {
    if (n < 4) return 0;
    // The last three bytes are kept back so that every position compared has a whole header.
    const size_t window = std::min(n - 3, kFreeFormatWindow);
    for (size_t d = kFreeFormatMinLength; d <= kFreeFormatMaxLength && d < window; ++d) {
        if (p[d] != p[0] || p[d + 1] != p[1]) continue;
        const size_t candidate = d - static_cast<size_t>(header.padding);
        if (candidate > 0 && freeFormatLengthHolds(p, window, candidate, header)) {
            return static_cast<int32_t>(candidate);
        }
    }
    return 0;
}

// Where the Xing tag sits: right after the side information of a Layer III frame.
size_t xingOffsetOf(const FrameHeader& h) {
    const bool single = h.mode == 3;
    if (h.id == 1) return single ? 21 : 36;
    return single ? 13 : 21;
}

// The encoder's tag right behind the Xing fields: a 9-byte name and version, then (at 21) the
// encoder delay and padding, twelve bits each. A name that is not printable means no tag.
void parseEncoderTag(const uint8_t* p, size_t n, XingInfo* xing) {
    constexpr size_t kNameBytes = 9;
    constexpr size_t kGapAt = 21;
    if (n < kGapAt + 3) return;
    for (size_t i = 0; i < 4; ++i) {
        if (p[i] < 0x20 || p[i] > 0x7E) return;
    }
    for (size_t i = 0; i < kNameBytes; ++i) {
        xing->encoder[i] = p[i] >= 0x20 && p[i] <= 0x7E ? static_cast<char>(p[i]) : '\0';
    }
    const uint8_t* gap = p + kGapAt;
    xing->encoderDelay = gap[0] << 4 | gap[1] >> 4;
    xing->encoderPadding = (gap[1] & 0x0F) << 8 | gap[2];
}

}  // namespace

// Encoders switch between stereo and joint stereo from frame to frame, so only the channel
// count, not the exact mode, has to agree.
bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.sampleRateIndex == b.sampleRateIndex && a.layerCode == b.layerCode && a.id == b.id &&
           (a.mode == 3) == (b.mode == 3);
}

int32_t measureFrameLength(const uint8_t* p, size_t n, const FrameHeader& header) {
    if (header.layerCode == mpeg::kLayerInvalid) return 0;
    if (header.bitrateIndex != 0) return mpeg::frameLengthOf(header);
    // A reserved sample rate is no frame, whatever the bytes that follow.
    if (header.sampleRateIndex == 3) return 0;
    return measureFreeFormat(p, n, header);
}

ptrdiff_t findSync(const uint8_t* p, size_t n, size_t from) {
    for (size_t i = from; i + 1 < n; ++i) {
        if (mpeg::isFrameSync(p[i], p[i + 1])) return static_cast<ptrdiff_t>(i);
    }
    return -1;
}

bool findThreeFrames(const uint8_t* p, size_t n, FrameHeader* header, int32_t* frameLength) {
    FrameHeader first{};
    size_t offset = 0;
    for (int frame = 0; frame < 3; ++frame) {
        size_t at = offset;
        if (frame == 0) {
            const ptrdiff_t sync = findSync(p, n, 0);
            if (sync < 0) return false;
            at = static_cast<size_t>(sync);
        } else if (at + 1 >= n || !mpeg::isFrameSync(p[at], p[at + 1])) {
            // The second and third frames must start exactly where the previous one ends.
            return false;
        }
        if (at + 4 > n) return false;
        const FrameHeader h = mpeg::parseFrameHeader(p + at);
        const int32_t length = measureFrameLength(p + at, n - at, h);
        *header = h;
        *frameLength = length;
        if (length <= 0) return false;
        if (frame == 0) {
            first = h;
        } else if (length >= kFrameSpanBytes ||
                   (h.layerCode != mpeg::kLayerIII && h.layerCode != mpeg::kLayerII) ||
                   !sameStream(h, first)) {
            return false;
        }
        offset = at + static_cast<size_t>(length) + static_cast<size_t>(h.padding);
    }
    return true;
}

std::optional<XingInfo> parseXing(const uint8_t* p, size_t n) {
    if (n < 4 || !mpeg::isFrameSync(p[0], p[1])) return std::nullopt;
    const FrameHeader h = mpeg::parseFrameHeader(p);
    size_t at = xingOffsetOf(h);
    if (at + 8 > n) return std::nullopt;
    const bool xingTag = std::equal(p + at, p + at + 4, "Xing");
    if (!xingTag && !std::equal(p + at, p + at + 4, "Info")) return std::nullopt;
    XingInfo xing;
    xing.constantBitrate = !xingTag;
    xing.mpeg1 = h.id;
    xing.sampleRate = mpeg::sampleRateOf(h);
    xing.flags = static_cast<int32_t>(readBigEndian32(p + at + 4)) &
                 (kXingFrames | kXingBytes | kXingToc | kXingScale);
    at += 8;
    // A field the flags announce but the bytes do not hold drops its flag.
    auto field = [&](int bit, int32_t* value) {
        if (!(xing.flags & bit)) return;
        if (at + 4 > n) {
            xing.flags &= ~bit;
            return;
        }
        *value = static_cast<int32_t>(readBigEndian32(p + at));
        at += 4;
    };
    field(kXingFrames, &xing.frames);
    field(kXingBytes, &xing.bytes);
    if (xing.flags & kXingToc) {
        if (at + xing.toc.size() <= n) {
            std::copy_n(p + at, xing.toc.size(), xing.toc.begin());
            xing.hasToc = true;
            at += xing.toc.size();
        } else {
            xing.flags &= ~kXingToc;
        }
    }
    field(kXingScale, &xing.vbrScale);
    // Only Layer III has the tag (and the decoder delay it is measured against).
    if (h.layerCode == mpeg::kLayerIII && at < n) parseEncoderTag(p + at, n - at, &xing);
    // A count of zero or one that reads negative would stop the progress or send it backwards:
    // such a field is treated as absent.
    if (xing.frames <= 0) xing.flags &= ~kXingFrames;
    if (xing.bytes <= 0) xing.flags &= ~kXingBytes;
    return xing;
}

uint32_t xingSeekOffset(const XingInfo& xing, int32_t percent, uint32_t fileSize) {
    const int32_t p = std::clamp(percent, 0, 100);
    if (!xing.hasToc) return static_cast<uint32_t>(uint64_t{fileSize} * p / 100);
    const int32_t a = std::min(p, 99);
    const double fa = xing.toc[a];
    const double fb = a < 99 ? xing.toc[a + 1] : 256.0;
    const double point = fa + (fb - fa) * (p - a);
    return static_cast<uint32_t>(point * fileSize / 256.0);
}

size_t resyncCandidate(const uint8_t* s, size_t n, size_t readable) {
    // The last candidate's second byte may lie one past the span, when it can be read.
    for (size_t i = 0; i + 1 < n && i + 2 < readable; ++i) {
        if (mpeg::isFrameSync(s[i + 1], s[i + 2])) return i;
    }
    return n == 0 ? 0 : n - 1;
}

ResyncStep resyncStep(const uint8_t* s, size_t n, size_t readable) {
    const size_t i = resyncCandidate(s, n, readable);
    return {i + 1, i >= 1 && i + 1 < n};
}

size_t wholeFrameLength(const uint8_t* p, size_t n, int32_t frameLength) {
    if (n < 4 || !mpeg::isFrameSync(p[0], p[1])) return 0;
    const FrameHeader h = mpeg::parseFrameHeader(p);
    const int32_t base = h.bitrateIndex == 0 ? frameLength : mpeg::frameLengthOf(h);
    if (base <= 0) return 0;
    return static_cast<size_t>(base) + static_cast<size_t>(h.padding * mpeg::paddingUnitOf(h));
}

}  // namespace kivo
