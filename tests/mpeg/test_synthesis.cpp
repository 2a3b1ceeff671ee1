// Polyphase synthesis against a direct, unoptimised formulation of the filterbank (cosine
// matrixing into a 1024-value history, then the 512-tap window), negated; plus the
// conversion rules and the output layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "mpeg/synthesis.h"

namespace kivo::mpeg {
namespace {

// The window as the data file lists it, read independently of the generated header.
const std::vector<double>& windowD() {
    static const std::vector<double> d = [] {
        std::ifstream in(std::string(KIVO_TEST_DATA) +
                         "/../../tools/tables/data/synthesis_window.tsv");
        std::vector<double> v;
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#' || line[0] == 'i') continue;
            std::istringstream fields(line);
            int i;
            double value;
            fields >> i >> value;
            v.push_back(value);
        }
        return v;
    }();
    return d;
}

// One channel of the textbook filterbank, in doubles, with the sign of our output.
class DirectSynthesis {
public:
    // 32 unconverted sums for 32 subband samples.
    std::vector<double> slot(const float* s) {
        for (int i = 1023; i >= 64; --i) v_[i] = v_[i - 64];
        for (int i = 0; i < 64; ++i) {
            double sum = 0;
            for (int k = 0; k < 32; ++k) {
                sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64) * s[k];
            }
            v_[i] = sum;
        }
        const auto& d = windowD();
        std::vector<double> out(32, 0.0);
        for (int j = 0; j < 32; ++j) {
            for (int i = 0; i < 8; ++i) {
                out[j] -= v_[128 * i + j] * d[64 * i + j];
                out[j] -= v_[128 * i + 96 + j] * d[64 * i + 32 + j];
            }
        }
        return out;
    }

private:
    std::vector<double> v_ = std::vector<double>(1024, 0.0);
};

int16_t convert(double sum) {
    if (sum <= -32768) return -32768;
    if (sum >= 32767) return 32767;
    return static_cast<int16_t>(std::trunc(sum));
}

// Float sums may land on the other side of an integer than the double ones.
void expectNear(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    int differing = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_LE(std::abs(got[i] - want[i]), 1) << "sample " << i;
        differing += got[i] != want[i];
    }
    EXPECT_LT(differing, static_cast<int>(got.size() / 50));
}

std::vector<float> randomSubbands(int slots, int seed, float amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> v(static_cast<size_t>(slots) * 32);
    for (auto& x : v) x = dist(rng);
    return v;
}

TEST(Synthesis, EveryVariantMatchesTheDirectFilterbank) {
    SynthesisState state;
    constexpr int kGranules = 4;  // 72 slots: the ring wraps several times, both parities
    const auto left = randomSubbands(18 * kGranules, 1, 3000.0f);
    const auto right = randomSubbands(18 * kGranules, 2, 3000.0f);

    DirectSynthesis refL, refR;
    std::vector<int16_t> wantMono, wantStereo;
    for (int i = 0; i < 18 * kGranules; ++i) {
        const auto l = refL.slot(&left[32 * i]);
        const auto r = refR.slot(&right[32 * i]);
        for (int j = 0; j < 32; ++j) {
            wantMono.push_back(convert(l[j]));
            wantStereo.push_back(convert(l[j]));
            wantStereo.push_back(convert(r[j]));
        }
    }

    std::vector<int16_t> got(wantMono.size());
    state.clear();
    for (int g = 0; g < kGranules; ++g) {
        synthesizeLayer3Mono(state, reinterpret_cast<const float(*)[32]>(&left[576 * g]),
                             &got[576 * g]);
    }
    expectNear(got, wantMono);

    got.assign(wantStereo.size(), 0);
    state.clear();
    for (int g = 0; g < kGranules; ++g) {
        synthesizeLayer3Stereo(state, reinterpret_cast<const float(*)[32]>(&left[576 * g]),
                               reinterpret_cast<const float(*)[32]>(&right[576 * g]),
                               &got[1152 * g]);
    }
    expectNear(got, wantStereo);

    // Layer II blocks: 64 floats per slot, two frames of 36 slots.
    std::vector<float> single(64 * 72, 0.0f), pairs(64 * 72);
    for (int i = 0; i < 72; ++i) {
        for (int sb = 0; sb < 32; ++sb) {
            single[64 * i + sb] = left[32 * i + sb];
            pairs[64 * i + 2 * sb] = left[32 * i + sb];
            pairs[64 * i + 2 * sb + 1] = right[32 * i + sb];
        }
    }
    got.assign(wantMono.size(), 0);
    state.clear();
    synthesizeLayer2Single(state, single.data(), got.data(), 36);
    synthesizeLayer2Single(state, single.data() + 64 * 36, got.data() + 32 * 36, 36);
    expectNear(got, wantMono);

    got.assign(wantStereo.size(), 0);
    state.clear();
    synthesizeLayer2Stereo(state, pairs.data(), got.data(), 36);
    synthesizeLayer2Stereo(state, pairs.data() + 64 * 36, got.data() + 64 * 36, 36);
    expectNear(got, wantStereo);
}

// Where the processor offers 256-bit vectors the window uses them; the sums are formed in the
// same order, so both kernels give identical samples.
TEST(Synthesis, WideAndNarrowWindowsGiveIdenticalSamples) {
    const auto input = randomSubbands(72, 11, 20000.0f);
    std::vector<float> pairs(64 * 36);
    for (int i = 0; i < 36; ++i) {
        for (int sb = 0; sb < 32; ++sb) {
            pairs[64 * i + 2 * sb] = input[32 * i + sb];
            pairs[64 * i + 2 * sb + 1] = input[32 * (36 + i) + sb];
        }
    }
    SynthesisState wide, narrow;
    wide.clear();
    narrow.clear();
    narrow.ring[0].wide = narrow.ring[1].wide = false;
    std::vector<int16_t> a(2304), b(2304);
    for (int frame = 0; frame < 3; ++frame) {
        synthesizeLayer2Stereo(wide, pairs.data(), a.data(), 36);
        synthesizeLayer2Stereo(narrow, pairs.data(), b.data(), 36);
        ASSERT_EQ(a, b) << frame;
    }
}

// A constant c in subband 0 settles to -c in every sample once the ring is full; the
// conversion truncates toward zero and clips.
TEST(Synthesis, ConstantInLowestSubbandSettlesToItsNegativeTruncatedAndClipped) {
    struct Case {
        float c;
        int16_t expected;
    };
    const Case cases[] = {
        {-32767.9f, 32767}, {-40000.0f, 32767}, {32768.5f, -32768}, {1.0e9f, -32768}, {0.9f, 0},
        {-0.9f, 0},         {100.7f, -100},     {-100.7f, 100},     {-1234.0f, 1234},
    };
    for (const Case& c : cases) {
        SynthesisState state;
        state.clear();
        float block[18][32] = {};
        for (auto& slot : block) slot[0] = c.c;
        int16_t pcm[576];
        synthesizeLayer3Mono(state, block, pcm);  // fills the ring
        synthesizeLayer3Mono(state, block, pcm);
        for (int i = 0; i < 576; ++i) ASSERT_EQ(pcm[i], c.expected) << "c=" << c.c << " i=" << i;
    }
}

TEST(Synthesis, StereoChannelsLandInTheirOwnPositions) {
    SynthesisState state;
    state.clear();
    float left[18][32] = {}, right[18][32] = {};
    for (int i = 0; i < 18; ++i) {
        left[i][0] = 1000.0f;
        right[i][0] = -2000.0f;
    }
    int16_t pcm[1152];
    for (int granule = 0; granule < 2; ++granule) {
        synthesizeLayer3Stereo(state, left, right, pcm);
    }
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ(pcm[2 * i], -1000) << i;
        ASSERT_EQ(pcm[2 * i + 1], 2000) << i;
    }
}

TEST(Synthesis, ClearedStateCarriesNoTraceOfThePreviousStream) {
    const auto loud = randomSubbands(36, 7, 20000.0f);
    const auto quiet = randomSubbands(36, 8, 50.0f);
    std::vector<float> loudBlock(64 * 36, 0.0f), quietBlock(64 * 36, 0.0f);
    for (int i = 0; i < 36; ++i) {
        for (int sb = 0; sb < 32; ++sb) {
            loudBlock[64 * i + sb] = loud[32 * i + sb];
            quietBlock[64 * i + sb] = quiet[32 * i + sb];
        }
    }
    SynthesisState fresh, reused;
    fresh.clear();
    reused.clear();
    int16_t want[1152], got[1152];
    synthesizeLayer2Single(reused, loudBlock.data(), got, 36);
    reused.clear();
    synthesizeLayer2Single(reused, quietBlock.data(), got, 36);
    synthesizeLayer2Single(fresh, quietBlock.data(), want, 36);
    for (int i = 0; i < 1152; ++i) ASSERT_EQ(got[i], want[i]) << i;
}

}  // namespace
}  // namespace kivo::mpeg
