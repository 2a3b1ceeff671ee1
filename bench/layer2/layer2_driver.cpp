// layer2_driver FILE [REPEATS]: decodes a Layer II stream (starting at its first frame) REPEATS
// times in memory and prints times real time. Frames are walked by the lengths the decoder
// consumes, as the decoder stage does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "mpeg/frame_length.h"
#include "mpeg/layer2.h"

int main(int argc, char** argv) {
    using namespace kivo::mpeg;
    if (argc < 2) {
        std::fprintf(stderr, "usage: layer2_driver FILE [REPEATS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 1;
    size_t start = 0;
    while (start + 4 <= data.size() &&
           !(isFrameSync(data[start], data[start + 1]) && ((data[start + 1] >> 1) & 3) == 2)) {
        ++start;
    }
    if (start + 4 > data.size()) {
        std::fprintf(stderr, "no Layer II frame found\n");
        return 1;
    }
    const FrameHeader header = parseFrameHeader(&data[start]);
    Layer2Decoder decoder;
    SynthesisState synth;
    PcmFormat format{};
    std::vector<int16_t> pcm(2304);
    long frames = 0, checksum = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < repeats; ++r) {
        if (!decoder.init(header, frameLengthOf(header), 24000, &format, synth)) {
            std::fprintf(stderr, "stream refused\n");
            return 1;
        }
        size_t pos = start;
        while (pos + 4 <= data.size()) {
            const FrameResult res =
                decoder.decodeFrame(&data[pos], data.size() - pos, pcm.data(), synth);
            if (res.consumed == 0) break;
            pos += res.consumed;
            checksum += pcm[static_cast<size_t>(++frames) % pcm.size()];
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double audio = static_cast<double>(frames) * 1152.0 / format.sampleRate;
    std::printf("%ld frames, %.1f s of audio in %.3f s: %.0fx real time (checksum %ld)\n", frames,
                audio, seconds, audio / seconds, checksum);
    return 0;
}
