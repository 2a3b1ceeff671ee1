// The MPEG audio decoder as the engine sees it: the frame header record, the PCM format it
// reports, and the table of three operations through which the engine reaches the one
// process-wide decoder.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

// The layer codes a frame header carries (the bitstream counts them down).
enum LayerCode : int32_t {
    kLayerInvalid = 0,
    kLayerIII = 1,
    kLayerII = 2,
    kLayerI = 3,
};

// The four header bytes b0..b3 of a frame, one field each (b0 is 0xFF).
struct FrameHeader {
    int32_t syncKind;         // 1: b1's top nibble is 0xF; 2: it is 0xE (MPEG 2.5)
    int32_t id;               // 1 = MPEG-1, 0 = MPEG-2 or MPEG 2.5
    int32_t layerCode;        // a LayerCode
    int32_t protectionBit;    // 0 = a 16-bit CRC follows the header
    int32_t bitrateIndex;     // 0 = free format
    int32_t sampleRateIndex;  // 3 is reserved
    int32_t padding;
    int32_t privateBit;
    int32_t mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int32_t modeExtension;
    int32_t copyright;
    int32_t original;
    int32_t emphasis;
};

// Whether b0 b1 start a frame: 0xFF, then a top nibble of 0xF or 0xE.
inline bool isFrameSync(uint8_t b0, uint8_t b1) {
    return b0 == 0xFF && (b1 & 0xE0) == 0xE0;
}

// Splits the four header bytes into their fields; the caller has checked isFrameSync.
inline FrameHeader parseFrameHeader(const uint8_t* b) {
    FrameHeader h;
    h.syncKind = (b[1] & 0xF0) == 0xF0 ? 1 : 2;
    h.id = (b[1] >> 3) & 1;
    h.layerCode = (b[1] >> 1) & 3;
    h.protectionBit = b[1] & 1;
    h.bitrateIndex = b[2] >> 4;
    h.sampleRateIndex = (b[2] >> 2) & 3;
    h.padding = (b[2] >> 1) & 1;
    h.privateBit = b[2] & 1;
    h.mode = b[3] >> 6;
    h.modeExtension = (b[3] >> 4) & 3;
    h.copyright = (b[3] >> 3) & 1;
    h.original = (b[3] >> 2) & 1;
    h.emphasis = b[3] & 3;
    return h;
}

// What one stream decodes to, filled by decoderInit.
struct PcmFormat {
    int32_t channels;        // 1 or 2
    int32_t valuesPerFrame;  // PCM values per frame over all channels
    int32_t sampleRate;      // Hz
    int32_t bitsPerSample;   // 16
    int32_t frameBytes;      // as given to decoderInit
    int32_t reserved;        // 0
};

// Results of decoderDecodeFrame: low half the input bytes consumed, high half the PCM bytes
// written; 0 in both halves means the frame was refused.
inline uint32_t consumedBytes(uint64_t r) {
    return static_cast<uint32_t>(r);
}
inline uint32_t producedBytes(uint64_t r) {
    return static_cast<uint32_t>(r >> 32);
}
inline uint64_t packFrameResult(uint32_t consumed, uint32_t produced) {
    return static_cast<uint64_t>(produced) << 32 | consumed;
}

// The decoder's operations. decoderInit(header, frameBytes, reduction, channelSetting,
// conversionFlags, frequencyLimitHz) returns 1 when the stream is accepted, 0 otherwise.
// decoderDecodeFrame(frame, pcm) reads the frame that starts at `frame` (at least 1441 bytes
// readable there) and writes one block of PCM.
struct DecoderOps {
    int32_t (*decoderInit)(const FrameHeader* header, int32_t frameBytes, int32_t reduction,
                           int32_t channelSetting, int32_t conversionFlags, int32_t frequencyLimit);
    void (*decoderGetFormat)(PcmFormat* format);
    uint64_t (*decoderDecodeFrame)(const uint8_t* frame, void* pcm);
};

// The process-wide decoder.
const DecoderOps& processDecoderOps();

// The input span the engine guarantees readable behind every frame it hands over.
inline constexpr int kFrameSpanBytes = 1441;

}  // namespace kivo::mpeg
