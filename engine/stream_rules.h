// The rules by which an MPEG audio stream is found in a file's bytes and followed frame by
// frame: frame lengths (free format measured), the three-frame check, the Xing header, the
// whole-frame test and the resync step. Pure functions over byte spans, the one place the
// decoder stage, the frame walker (tools, sound clips) and the tests take them from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "mpeg/decoder_ops.h"

namespace kivo {

using mpeg::FrameHeader;
using mpeg::kFrameSpanBytes;

// The fields a Xing header holds, as bits of XingInfo::flags.
enum XingFlag : int32_t {
    kXingFrames = 1,  // the stream's frame count
    kXingBytes = 2,   // its byte count
    kXingToc = 4,     // a 100-entry table of seek points
    kXingScale = 8,   // the encoder's quality figure
};

// The Xing header of a variable-bitrate stream, or its constant-bitrate twin "Info", with what
// the encoder's own tag behind it says about the samples it added (LAME and encoders like it).
struct XingInfo {
    int32_t mpeg1 = 0;       // 1 for MPEG-1
    int32_t sampleRate = 0;  // Hz (halved for MPEG-2)
    int32_t flags = 0;       // XingFlag bits of the fields present
    int32_t frames = 0;      // with kXingFrames
    int32_t bytes = 0;       // with kXingBytes
    int32_t vbrScale = -1;   // with kXingScale
    bool hasToc = false;     // with kXingToc
    std::array<uint8_t, 100> toc{};
    bool constantBitrate = false;  // tagged "Info"
    // From the encoder's tag, -1 without one: the samples it put before the audio and after.
    int32_t encoderDelay = -1;
    int32_t encoderPadding = -1;
    std::array<char, 10> encoder{};  // its name and version ("LAME3.100"), NUL-ended
};

// The samples a decoder gives before the first the encoder was given: its filter bank's delay.
inline constexpr int32_t kDecoderDelaySamples = 529;

// How many bytes the stream search looks at.
inline constexpr size_t kStreamPeekBytes = 4323;
// How far the stream search goes before it gives up: junk, many false sync words or stacked
// tags before the audio are searched through, endless data without a frame is not.
inline constexpr uint64_t kStreamSearchBytes = uint64_t{1} << 20;

// The frame length (without padding) of the header at `p`, measuring free-format frames in the
// `n` bytes from `p` on. 0 or less: not a frame.
int32_t measureFrameLength(const uint8_t* p, size_t n, const FrameHeader& header);

// Offset of the first sync (0xFF, then a top nibble 0xF or 0xE) at or after `from`, or -1.
ptrdiff_t findSync(const uint8_t* p, size_t n, size_t from);

// Whether two frame headers can belong to one stream: same sample rate, layer and version, and
// both single channel or both not.
bool sameStream(const FrameHeader& a, const FrameHeader& b);

// The three-frame check of one search attempt over a peeked window of `n` bytes. On success
// `header` and `frameLength` describe the third frame.
bool findThreeFrames(const uint8_t* p, size_t n, FrameHeader* header, int32_t* frameLength);

// The Xing or Info header of the frame at `p` (the first peeked byte), if any.
std::optional<XingInfo> parseXing(const uint8_t* p, size_t n);

// The Xing seek point, in bytes from the start of the file, for a start percentage 0..100.
uint32_t xingSeekOffset(const XingInfo& xing, int32_t percent, uint32_t fileSize);

// The resync step over a span s[0..n-1] (n is normally 1441) of which `readable` bytes may be
// read (normally one more, so that a sync at the last offset is seen whole): the first i in
// 0..n-2 with s[i+1] = 0xFF and a sync nibble in s[i+2]; n-1 when there is none.
size_t resyncCandidate(const uint8_t* s, size_t n, size_t readable);

// After a failed frame at s[0]: how many bytes to step over, and whether the step ends on a
// sync candidate. A candidate right after the failed byte is passed over, as is a span without
// one; then the next span is searched.
struct ResyncStep {
    size_t advance;
    bool found;
};
ResyncStep resyncStep(const uint8_t* s, size_t n, size_t readable);

// The whole length (padding included) of the frame whose header is at `p`, `n` bytes readable
// there; free-format frames take the stream's measured `frameLength`. 0 when no frame header
// is there. A frame longer than the bytes left is cut off and is not decoded.
size_t wholeFrameLength(const uint8_t* p, size_t n, int32_t frameLength);

}  // namespace kivo
