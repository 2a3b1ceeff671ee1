// Synthesis throughput per variant, reported as seconds of 44.1 kHz audio per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "mpeg/synthesis.h"
#include "synthesis_input.h"

namespace {

using namespace kivo::mpeg;

// Runs `step` (one call's worth of synthesis into pcm) per iteration; `frames` sample frames
// per step.
template <typename Step>
void run(benchmark::State& st, double frames, Step step) {
    SynthesisState s;
    s.clear();
    const auto input = kivo::bench::subbandNoise(64 * 36, 8000.0f);
    const auto* hybrid = reinterpret_cast<const float(*)[32]>(input.data());
    std::vector<int16_t> pcm(2304);
    for (auto _ : st) {
        step(s, input.data(), hybrid, pcm.data());
        benchmark::DoNotOptimize(pcm.data());
    }
    st.counters["x_realtime"] =
        benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsIterationInvariantRate);
}

void layer2Stereo(benchmark::State& st) {
    run(st, 1152, [](SynthesisState& s, const float* block, auto*, int16_t* pcm) {
        synthesizeLayer2Stereo(s, block, pcm, 36);
    });
}
BENCHMARK(layer2Stereo);

void layer3Stereo(benchmark::State& st) {
    run(st, 576, [](SynthesisState& s, const float*, const float(*hybrid)[32], int16_t* pcm) {
        synthesizeLayer3Stereo(s, hybrid, hybrid + 18, pcm);
    });
}
BENCHMARK(layer3Stereo);

void layer3Mono(benchmark::State& st) {
    run(st, 576, [](SynthesisState& s, const float*, const float(*hybrid)[32], int16_t* pcm) {
        synthesizeLayer3Mono(s, hybrid, pcm);
    });
}
BENCHMARK(layer3Mono);

}  // namespace

BENCHMARK_MAIN();
