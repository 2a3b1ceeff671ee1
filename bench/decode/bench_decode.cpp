// bench_decode [--seconds S] FILE...: decodes each file from memory, over and over for at least
// S seconds (default 2) on one thread, and prints how many times faster than real time that is.
// The time is the thread's CPU time: on a shared machine that is what the decoding itself costs.
#include <time.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame_walker.h"
#include "id3_tags.h"
#include "mpeg/decoder.h"
#include "mpeg/frame_length.h"

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

std::vector<uint8_t> readFile(const char* path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        uint8_t chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        std::fclose(f);
    }
    return bytes;
}

struct Pass {
    bool ok = false;
    uint64_t pcmBytes = 0;
    int64_t checksum = 0;  // keeps the work observable
};

Pass decodeOnce(std::span<const uint8_t> audio, kivo::mpeg::MpegDecoder& decoder,
                kivo::mpeg::PcmFormat* format) {
    Pass pass;
    kivo::FrameWalker walker(audio);
    if (!walker.findStream() || !walker.initDecoder(decoder)) return pass;
    *format = decoder.format();
    alignas(16) int16_t block[4608];
    for (int64_t produced; (produced = walker.decodeNext(decoder, block)) >= 0;) {
        pass.pcmBytes += static_cast<uint64_t>(produced);
        pass.checksum += block[0] + block[produced > 2 ? produced / 2 - 1 : 0];
    }
    pass.ok = true;
    return pass;
}

}  // namespace

int main(int argc, char** argv) {
    double minimum = 2.0;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--seconds") == 0) {
        minimum = std::atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        std::fputs("usage: bench_decode [--seconds S] FILE...\n", stderr);
        return 2;
    }
    std::printf("%-34s %10s %10s %12s\n", "file", "audio s", "passes", "x real time");
    int status = 0;
    for (int i = first; i < argc; ++i) {
        const std::vector<uint8_t> file = readFile(argv[i]);
        const size_t start =
            std::min<size_t>(kivo::id3v2TagLength(file.data(), file.size()), file.size());
        size_t end = file.size();
        if (end >= start + kivo::kId3v1Bytes &&
            kivo::endsWithId3v1(file.data() + end - kivo::kId3v1Bytes, kivo::kId3v1Bytes, end)) {
            end -= kivo::kId3v1Bytes;
        }
        const std::span<const uint8_t> audio(file.data() + start, end - start);
        auto decoder = std::make_unique<kivo::mpeg::MpegDecoder>();
        kivo::mpeg::PcmFormat format{};
        Pass pass = decodeOnce(audio, *decoder, &format);  // warm-up
        if (!pass.ok || format.sampleRate <= 0) {
            std::printf("%-34s not decoded\n", argv[i]);
            status = 1;
            continue;
        }
        const double audioSeconds = static_cast<double>(pass.pcmBytes) / 2 /
                                    std::max(format.channels, 1) / format.sampleRate;
        int passes = 0;
        int64_t checksum = 0;
        const double begin = threadSeconds();
        double elapsed = 0;
        do {
            checksum += decodeOnce(audio, *decoder, &format).checksum;
            ++passes;
            elapsed = threadSeconds() - begin;
        } while (elapsed < minimum);
        const char* name = std::strrchr(argv[i], '/');
        std::printf("%-34s %10.2f %10d %12.0f%s\n", name ? name + 1 : argv[i], audioSeconds, passes,
                    audioSeconds * passes / elapsed, checksum == 42 ? " " : "");
    }
    return status;
}
