// Follows an MPEG audio stream held whole in memory by the rules the decoder stage applies to
// its ring (stream_rules.h): three consistent frames to lock on, the Xing header of the first
// frame, only whole frames decoded, and a failed frame answered by a resync and a fresh decoder
// start. Used by the tools and by the application's sound clips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "mpeg/decoder.h"
#include "stream_rules.h"

namespace kivo {

class FrameWalker {
public:
    explicit FrameWalker(std::span<const uint8_t> audio) : data_(audio) {}

    // Goes on over a window that has moved on in the data: `audio` starts `dropped` bytes
    // after where the old one started (a stream read through a buffer of constant size).
    void slide(std::span<const uint8_t> audio, size_t dropped);

    // Steps over the Xing/Info frame at the read position, when the stream has one: it holds
    // the header, not sound.
    void skipHeaderFrame();

    // The stream search: attempts, each followed by a resync when it fails, through the first
    // megabyte after the read position. Decoding
    // then begins at the position where the successful attempt looked, not at its first sync.
    bool findStream();

    const FrameHeader& header() const { return header_; }
    int32_t frameLength() const { return frameLength_; }
    const std::optional<XingInfo>& xing() const { return xing_; }
    size_t position() const { return position_; }
    size_t size() const { return data_.size(); }
    // Frames refused by the decoder or skipped as inconsistent so far.
    int32_t failures() const { return failures_; }

    // Starts (or restarts) the decoder with the stream's header and frame length.
    bool initDecoder(mpeg::MpegDecoder& decoder) const;

    // Decodes the frame at the read position into one block of `pcm`. Returns the PCM bytes
    // produced (0 after a refused frame, which has cost a resync and a decoder restart), or -1
    // once no complete frame is left.
    int64_t decodeNext(mpeg::MpegDecoder& decoder, void* pcm);

    // Steps over the next frame of the stream without decoding it: a frame header that agrees
    // with the stream's rate, layer, version and mode, whole within the data. Anything else is
    // resynced over. The header of the frame stepped over, or none at the end.
    std::optional<FrameHeader> skipFrame();

    // Moves the read position to the next sync candidate at least 2 bytes on; false at the end.
    bool resync();

    // Whether the data holds three consecutive Layer I frames (a stream this decoder refuses).
    static bool holdsLayer1Stream(std::span<const uint8_t> audio);

private:
    size_t wholeFrameAt(size_t at) const;

    std::span<const uint8_t> data_;
    size_t position_ = 0;
    FrameHeader header_{};
    int32_t frameLength_ = -1;
    std::optional<XingInfo> xing_;
    int32_t failures_ = 0;
};

}  // namespace kivo
