// Feeds arbitrary bytes to the readers of what stands around the audio: the tags the source
// measures off both ends of a file (ID3v2 in front, APE and ID3v1 behind), the Xing/Info frame
// with its seek table and the encoder's tag, and the three-frame check of the stream search.
// The audio lies inside the file and the source reads on from its start; a tag is never
// shorter than its header; a seek point never lies beyond the end of the file; and a stream
// whose encoder said what it added loses exactly those samples, no more, whatever the figures.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "audio_span.h"
#include "gapless_trim.h"
#include "id3_tags.h"
#include "stream_rules.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

// A stream of `frames` frames of counting bytes through the trim, taken out in pieces of
// varying size: what comes out is the stream less the encoder's samples at both ends.
void checkTrim(const kivo::EncoderGap& gap, uint32_t frames, uint32_t take) {
    constexpr uint32_t kSampleBytes = 4, kFrameBytes = 1152 * kSampleBytes;
    kivo::GaplessTrim trim(gap, kSampleBytes, kFrameBytes, true);
    const size_t total = size_t{frames} * kFrameBytes;
    const size_t skip = size_t(gap.skipStart) * kSampleBytes;
    const size_t drop = size_t(gap.dropEnd) * kSampleBytes;
    std::vector<uint8_t> out(kFrameBytes * 2);
    size_t next = 0, expected = skip;  // the next byte going in and the one expected out
    auto drain = [&] {
        while (trim.ready() > 0) {
            const size_t n = std::min<size_t>({trim.ready(), out.size(), take % 5000 + 1});
            trim.take(out.data(), n);
            for (size_t i = 0; i < n; ++i) check(out[i] == uint8_t(expected++ * 7));
            take = take * 1103515245u + 12345u;
        }
    };
    for (uint32_t f = 0; f < frames; ++f) {
        uint8_t* space = trim.space();
        for (size_t i = 0; i < kFrameBytes; ++i) space[i] = uint8_t((next + i) * 7);
        trim.commit(kFrameBytes);
        next += kFrameBytes;
        drain();
    }
    trim.finish();
    drain();
    check(expected == std::max(skip, total > drop ? total - drop : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    if (parseId3v2Header(data, size)) {
        check(id3v2TagLength(data, size) >= kId3v2HeaderBytes);
    } else {
        check(id3v2TagLength(data, size) == 0);
    }
    endsWithId3v1(data, size, size);

    // The source's measure of the file, read through a stdio stream as the source reads it.
    if (size > 0) {
        std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        check(file != nullptr);
        const AudioSpan span = measureAudioSpan(file);
        check(0 <= span.start && span.start <= span.end && span.end <= int64_t(size));
        check(std::ftell(file) == span.start);
        std::fclose(file);
    }
    const size_t tail = std::min<size_t>(size, kTrailingTagLook);
    check(trailingTagBytes(data + size - tail, tail, size) <= size);

    if (const auto xing = parseXing(data, size)) {
        check(!(xing->flags & 1 && xing->frames <= 0) && !(xing->flags & 2 && xing->bytes <= 0));
        for (uint32_t fileSize : {0u, uint32_t(size), 0xFFFFFFFFu}) {
            for (int32_t percent : {-3, 0, 1, 37, 98, 99, 100, 150}) {
                check(xingSeekOffset(*xing, percent, fileSize) <= fileSize);
            }
        }
        check(xing->encoder.back() == '\0');
        if (const auto gap = encoderGapOf(xing)) {
            check(gap->skipStart >= 0 && gap->dropEnd >= 0);
            checkTrim(*gap, size % 7, uint32_t(size));
        }
    }

    FrameHeader header{};
    int32_t length = 0;
    if (findThreeFrames(data, size, &header, &length)) {
        check(length > 0 && length < int32_t(kFrameSpanBytes));
    }
    return 0;
}
