// Feeds arbitrary bytes to the readers of what stands in front of the audio: the ID3v2 tag
// header the source skips, the ID3v1 tail, the Xing frame with its seek table, and the
// three-frame check of the stream search. A tag is never shorter than its header, and a seek
// point never lies beyond the end of the file.
#include <cstdint>
#include <initializer_list>

#include "id3_tags.h"
#include "stream_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    if (parseId3v2Header(data, size)) {
        if (id3v2TagLength(data, size) < kId3v2HeaderBytes) __builtin_trap();
    } else if (id3v2TagLength(data, size) != 0) {
        __builtin_trap();
    }
    endsWithId3v1(data, size, size);

    if (const auto xing = parseXing(data, size)) {
        if ((xing->flags & 1 && xing->frames <= 0) || (xing->flags & 2 && xing->bytes <= 0)) {
            __builtin_trap();
        }
        for (uint32_t fileSize : {0u, uint32_t(size), 0xFFFFFFFFu}) {
            for (int32_t percent : {-3, 0, 1, 37, 98, 99, 100, 150}) {
                if (xingSeekOffset(*xing, percent, fileSize) > fileSize) __builtin_trap();
            }
        }
    }

    FrameHeader header{};
    int32_t length = 0;
    if (findThreeFrames(data, size, &header, &length) &&
        (length <= 0 || length >= int32_t(kFrameSpanBytes))) {
        __builtin_trap();
    }
    return 0;
}
