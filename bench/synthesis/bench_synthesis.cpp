// Synthesis throughput per variant, reported as seconds of 44.1 kHz audio per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "mpeg/synthesis.h"
#include "synthesis_input.h"

namespace {

using namespace kivo::mpeg;

constexpr double kRate = 44100.0;

void layer2Stereo(benchmark::State& st) {
    SynthesisState s;
    s.clear();
    const auto block = kivo::bench::subbandNoise(64 * 36, 8000.0f);
    std::vector<int16_t> pcm(2304);
    for (auto _ : st) {
        synthesizeLayer2Stereo(s, block.data(), pcm.data(), 36);
        benchmark::DoNotOptimize(pcm.data());
    }
    st.counters["x_realtime"] =
        benchmark::Counter(1152.0 / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(layer2Stereo);

void layer3StereoPerChannel(benchmark::State& st) {
    SynthesisState s;
    s.clear();
    const auto granule = kivo::bench::subbandNoise(2 * 576, 8000.0f);
    const auto* left = reinterpret_cast<const float(*)[32]>(granule.data());
    const auto* right = reinterpret_cast<const float(*)[32]>(granule.data() + 576);
    std::vector<int16_t> pcm(1152);
    for (auto _ : st) {
        synthesizeLayer3Stereo(s, left, pcm.data(), 0);
        synthesizeLayer3Stereo(s, right, pcm.data(), 1);
        benchmark::DoNotOptimize(pcm.data());
    }
    st.counters["x_realtime"] =
        benchmark::Counter(576.0 / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(layer3StereoPerChannel);

void layer3Mono(benchmark::State& st) {
    SynthesisState s;
    s.clear();
    const auto granule = kivo::bench::subbandNoise(576, 8000.0f);
    std::vector<int16_t> pcm(576);
    for (auto _ : st) {
        synthesizeLayer3Mono(s, reinterpret_cast<const float(*)[32]>(granule.data()), pcm.data());
        benchmark::DoNotOptimize(pcm.data());
    }
    st.counters["x_realtime"] =
        benchmark::Counter(576.0 / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(layer3Mono);

}  // namespace

BENCHMARK_MAIN();
