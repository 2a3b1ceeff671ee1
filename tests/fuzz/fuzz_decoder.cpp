// Feeds arbitrary bytes to the decoder and the stream rules. An input is
//   b1 b2 b3 | frame bytes (2, big-endian) | stream...
// The three bytes complete a frame header (0xFF b1 b2 b3, b1 forced to a sync) given to init
// with the frame bytes, whatever the stream holds; then every position the stream offers is
// decoded with exactly the bytes that remain. The same stream is also searched and followed
// by the stream rules with a decoder initialised from its own headers.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "frame_walker.h"
#include "mpeg/decoder.h"
#include "stream_rules.h"

namespace {

using namespace kivo;

// The PCM block lives alone on the heap so that a write past it is caught.
std::vector<uint8_t> pcmBlockFor(const mpeg::MpegDecoder& decoder) {
    const mpeg::PcmFormat format = decoder.format();
    const int32_t bytes = format.valuesPerFrame * (format.bitsPerSample / 8);
    return std::vector<uint8_t>(bytes > 0 ? static_cast<size_t>(bytes) : 1);
}

void decodeWithGivenHeader(const uint8_t* data, size_t size, mpeg::MpegDecoder& decoder) {
    if (size < 5) return;
    const uint8_t header[4] = {0xFF, static_cast<uint8_t>(data[0] | 0xE0), data[1], data[2]};
    const int32_t frameBytes = data[3] << 8 | data[4];
    const mpeg::FrameHeader h = mpeg::parseFrameHeader(header);
    if (!decoder.start(h, frameBytes, 24000)) return;
    std::vector<uint8_t> pcm = pcmBlockFor(decoder);
    const uint8_t* stream = data + 5;
    const size_t n = size - 5;
    // A copy of exactly the stream's bytes: reading one byte more is an error.
    std::vector<uint8_t> copy(stream, stream + n);
    size_t at = 0;
    for (int frames = 0; at < n && frames < 4096; ++frames) {
        const mpeg::FrameResult r = decoder.decodeFrame(copy.data() + at, n - at, pcm.data());
        const uint32_t consumed = r.consumed;
        if (r.produced > pcm.size()) __builtin_trap();
        at += consumed > 0 ? consumed : 1;
    }
}

void followStream(const uint8_t* data, size_t size, mpeg::MpegDecoder& decoder) {
    std::vector<uint8_t> copy(data, data + size);
    FrameHeader h{};
    int32_t length = 0;
    findThreeFrames(copy.data(), copy.size(), &h, &length);
    if (const auto xing = parseXing(copy.data(), copy.size())) {
        for (int p : {0, 37, 99, 100}) xingSeekOffset(*xing, p, 1u << 30);
    }
    if (!copy.empty()) resyncCandidate(copy.data(), copy.size() - 1, copy.size());
    FrameWalker walker(copy);
    if (!walker.findStream() || !walker.initDecoder(decoder)) return;
    std::vector<uint8_t> pcm = pcmBlockFor(decoder);
    for (int frames = 0; frames < 4096; ++frames) {
        const int64_t produced = walker.decodeNext(decoder, pcm.data());
        if (produced < 0) break;
        if (static_cast<uint64_t>(produced) > pcm.size()) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* decoder = new mpeg::MpegDecoder();
    decodeWithGivenHeader(data, size, *decoder);
    if (size > 5) followStream(data + 5, size - 5, *decoder);
    return 0;
}
