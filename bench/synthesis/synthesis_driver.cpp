// Fixed work for instruction counts: synthesises SECONDS of 44.1 kHz stereo audio through the
// Layer III per-channel path and the Layer II stereo path. Divide callgrind's total by
// 2 * SECONDS for instructions per second of audio per path. A second argument "narrow" keeps
// the 128-bit window even where 256-bit vectors are available.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mpeg/synthesis.h"
#include "synthesis_input.h"

int main(int argc, char** argv) {
    using namespace kivo::mpeg;
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const auto input = kivo::bench::subbandNoise(64 * 36, 8000.0f);
    std::vector<int16_t> pcm(2304);
    const bool narrow = argc > 2 && std::strcmp(argv[2], "narrow") == 0;
    SynthesisState s;
    auto reset = [&] {
        s.clear();
        if (narrow) s.ring[0].wide = s.ring[1].wide = false;
    };
    reset();
    long checksum = 0;
    const int granules = seconds * 44100 / 576;
    const auto* hybrid = reinterpret_cast<const float(*)[32]>(input.data());
    for (int g = 0; g < granules; ++g) {
        synthesizeLayer3Stereo(s, hybrid, hybrid + 18, pcm.data());
        checksum += pcm[g % 1152];
    }
    reset();
    const int frames = seconds * 44100 / 1152;
    for (int f = 0; f < frames; ++f) {
        synthesizeLayer2Stereo(s, input.data(), pcm.data(), 36);
        checksum += pcm[f % 2304];
    }
    std::printf("%d granules, %d frames, checksum %ld\n", granules, frames, checksum);
    return 0;
}
