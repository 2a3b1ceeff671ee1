// Alias reduction and the hybrid filter bank against the standard's formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "layer3_stream_builder.h"
#include "mpeg/layer3_decoder.h"
#include "mpeg/layer3_hybrid.h"
#include "mpeg/simd4.h"

namespace kivo::mpeg {
namespace {

constexpr double kPi = 3.14159265358979323846;

double window(int type, int i) {
    const double normal = std::sin(kPi / 36 * (i + 0.5));
    switch (type) {
        case 1:
            return i < 18 ? normal : i < 24 ? 1 : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5)) : 0;
        case 3:
            return i < 6 ? 0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5)) : i < 18 ? 1 : normal;
        default:
            return normal;
    }
}

// The standard's windowed inverse MDCT of one subband, long or short.
std::vector<double> referenceTransform(const float* x, int type, bool isShort) {
    std::vector<double> z(36, 0.0);
    if (!isShort) {
        for (int i = 0; i < 36; ++i) {
            double s = 0;
            for (int k = 0; k < 18; ++k)
                s += x[k] * std::cos(kPi / 72 * (2 * i + 19) * (2 * k + 1));
            z[i] = s * window(type, i);
        }
        return z;
    }
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < 12; ++i) {
            double s = 0;
            for (int k = 0; k < 6; ++k)
                s += x[3 * k + w] * std::cos(kPi / 24 * (2 * i + 7) * (2 * k + 1));
            z[6 + 6 * w + i] += s * std::sin(kPi / 12 * (i + 0.5));
        }
    }
    return z;
}

TEST(Layer3Hybrid, FastTransformsEqualTheStandardFormulas) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    float x[18];
    for (float& v : x) v = value(random);
    for (int type : {0, 1, 3}) {
        float z[36];
        inverseMdct36(x, type, z);
        const std::vector<double> ref = referenceTransform(x, type, false);
        for (int i = 0; i < 36; ++i) EXPECT_NEAR(z[i], ref[i], 0.05) << type << " " << i;
    }
    float z[36];
    inverseMdctShort(x, z);
    const std::vector<double> ref = referenceTransform(x, 2, true);
    for (int i = 0; i < 36; ++i) EXPECT_NEAR(z[i], ref[i], 0.05) << i;
}

// Runs granules of the given block types through hybridFilter and through the reference,
// with random lines below `extent`.
void compareSequence(const std::vector<std::pair<int, bool>>& blocks, int extent, bool wide) {
    const BandLayout bands = test::layoutFor(1);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-300.0f, 300.0f);
    std::vector<float> overlap(576, 0.0f);
    int overlapExtent = 0;
    std::vector<double> refOverlap(576, 0.0);  // [sb][18]
    for (size_t n = 0; n < blocks.size(); ++n) {
        const auto [type, mixed] = blocks[n];
        std::vector<float> xr(kSpectrumFloats, 0.0f);
        for (int i = 0; i < extent; ++i) xr[i] = value(random);
        float out[18][32];
        overlapExtent = hybridFilter({xr.data(), extent, type, mixed},
                                     {overlap.data(), overlapExtent}, bands, out, wide);
        for (int sb = 0; sb < 32; ++sb) {
            std::vector<double> z(36, 0.0);
            if (sb < bands.outputSubbands) {
                const bool isShort = type == 2 && !(mixed && sb < 2);
                z = referenceTransform(xr.data() + 18 * sb, mixed && sb < 2 ? 0 : type, isShort);
            }
            for (int t = 0; t < 18; ++t) {
                double v = z[t] + refOverlap[18 * sb + t];
                if ((sb & 1) && (t & 1)) v = -v;
                ASSERT_NEAR(out[t][sb], v, 0.05) << "granule " << n << " sb " << sb << " t " << t;
                refOverlap[18 * sb + t] = z[18 + t];
            }
        }
    }
}

// Both encodings of the filter (the AVX one where the processor has it).
TEST(Layer3Hybrid, MatchesTheStandardForEveryBlockKind) {
    for (const bool wide : {false, processorHasWideVectors()}) {
        compareSequence({{0, false}, {1, false}, {2, false}, {2, false}, {3, false}, {0, false}},
                        576, wide);
        // Mixed blocks: the two lowest subbands long with the normal window, whatever the type.
        compareSequence({{1, true}, {2, true}, {2, true}, {3, true}, {0, false}}, 576, wide);
        compareSequence({{0, false}, {2, false}, {0, false}}, 100, wide);
    }
}

// The wide filter runs eight subbands per vector and the rest four at a time, the wide alias
// reduction eight lines at a time; every value and every overlap must come out as the narrow
// ones', whatever the extents and kinds.
TEST(Layer3Hybrid, WideAndNarrowFiltersGiveIdenticalValues) {
    if (!processorHasWideVectors()) GTEST_SKIP() << "no 256-bit vectors here";
    const BandLayout bands = test::layoutFor(1);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
    std::vector<float> overlap[2] = {std::vector<float>(576, 0.0f), std::vector<float>(576, 0.0f)};
    int overlapExtent[2] = {0, 0};
    const struct {
        int type, extent;
        bool mixed;
    } granules[] = {{0, 576, false}, {0, 100, false}, {1, 200, false}, {2, 400, false},
                    {2, 90, true},   {3, 576, false}, {0, 0, false},   {0, 170, false},
                    {1, 330, true},  {2, 576, true},  {0, 36, false},  {0, 576, false}};
    for (const auto& g : granules) {
        std::vector<float> xr(kSpectrumFloats, 0.0f);
        for (int i = 0; i < g.extent; ++i) xr[i] = value(random);
        // The alias butterflies first, likewise in both widths.
        const BlockInfo info = g.type != 2 ? BlockInfo{false, 21, 12, 22, {11, 11, 11}, 576}
                               : g.mixed   ? BlockInfo{true, 5, 3, 8, {2, 2, 2}, 0}
                                           : BlockInfo{true, 5, 0, 0, {5, 5, 5}, 0};
        std::vector<float> narrow = xr;
        int extent = g.extent, narrowExtent = g.extent;
        reduceAliases(xr.data(), &extent, info, true);
        reduceAliases(narrow.data(), &narrowExtent, info, false);
        ASSERT_EQ(xr, narrow) << g.type << " " << g.extent;
        ASSERT_EQ(extent, narrowExtent);
        float out[2][18][32];
        for (int w = 0; w < 2; ++w) {
            overlapExtent[w] =
                hybridFilter({xr.data(), extent, g.type, g.mixed},
                             {overlap[w].data(), overlapExtent[w]}, bands, out[w], w == 1);
        }
        ASSERT_EQ(overlapExtent[0], overlapExtent[1]) << g.type << " " << g.extent;
        ASSERT_EQ(overlap[0], overlap[1]) << g.type << " " << g.extent;
        ASSERT_EQ(std::memcmp(out[0], out[1], sizeof out[0]), 0) << g.type << " " << g.extent;
    }
}

TEST(Layer3Hybrid, SilentGranuleAfterALoudOneOutputsTheOverlapOnce) {
    const BandLayout bands = test::layoutFor(1);
    std::vector<float> overlap(576, 0.0f);
    std::vector<float> xr(kSpectrumFloats, 0.0f);
    for (int i = 0; i < 200; ++i) xr[i] = static_cast<float>((i * 37) % 101 - 50);
    float out[18][32] = {};
    int extent = hybridFilter({xr.data(), 200, 0, false}, {overlap.data(), 0}, bands, out);
    EXPECT_EQ(extent, 18 * 12);
    const std::vector<float> carried = overlap;

    std::vector<float> silent(kSpectrumFloats, 0.0f);
    extent = hybridFilter({silent.data(), 0, 0, false}, {overlap.data(), extent}, bands, out);
    EXPECT_EQ(extent, 0);  // nothing left to carry
    for (int t = 0; t < 18; ++t) {
        for (int sb = 0; sb < 32; ++sb) {
            const float sign = (t & 1) && (sb & 1) ? -1.0f : 1.0f;
            ASSERT_EQ(out[t][sb], sign * carried[32 * t + sb]) << t << " " << sb;
        }
    }
    extent = hybridFilter({silent.data(), 0, 0, false}, {overlap.data(), 18 * 12}, bands, out);
    EXPECT_EQ(extent, 0);
    for (auto& row : out) {
        for (float v : row) ASSERT_EQ(v, 0.0f);
    }
}

TEST(Layer3Hybrid, TopSubbandIsNeverDecoded) {
    const BandLayout bands = test::layoutFor(1);
    ASSERT_EQ(bands.outputSubbands, 31);
    std::vector<float> overlap(576, 0.0f);
    std::vector<float> xr(kSpectrumFloats, 0.0f);
    for (int i = 0; i < 576; ++i) xr[i] = 100.0f;
    float out[18][32];
    for (int n = 0; n < 2; ++n) {
        const int extent =
            hybridFilter({xr.data(), 576, 0, false}, {overlap.data(), 558}, bands, out);
        EXPECT_EQ(extent, 558);
        for (int t = 0; t < 18; ++t) ASSERT_EQ(out[t][31], 0.0f) << t;
        for (int t = 0; t < 18; ++t) ASSERT_EQ(overlap[32 * t + 31], 0.0f) << t;
    }
}

TEST(Layer3Hybrid, AliasReductionCoversTheDecodedBoundariesOnly) {
    std::vector<float> xr(kSpectrumFloats, 0.0f);
    for (int i = 0; i < 576; ++i) xr[i] = 1.0f;
    const std::vector<float> before = xr;

    // A mixed block: only the boundary between subbands 0 and 1.
    BlockInfo mixed{true, 5, 3, 8, {2, 2, 2}, 0};
    int extent = 100;
    reduceAliases(xr.data(), &extent, mixed);
    for (int i = 10; i < 26; ++i) EXPECT_NE(xr[i], before[i]) << i;
    for (int i = 26; i < 576; ++i) ASSERT_EQ(xr[i], before[i]) << i;
    EXPECT_EQ(extent, 100);

    // Long blocks: as many boundaries as the extent reaches into; the extent grows to cover
    // the lines the butterflies wrote. The first butterfly follows the standard's formula.
    xr = before;
    BlockInfo longBlock{false, 3, 12, 22, {11, 11, 11}, 0};
    extent = 30;
    reduceAliases(xr.data(), &extent, longBlock);
    const double c0 = -0.6, cs = 1 / std::sqrt(1 + c0 * c0), ca = c0 / std::sqrt(1 + c0 * c0);
    EXPECT_NEAR(xr[17], cs - ca, 1e-6);
    EXPECT_NEAR(xr[18], cs + ca, 1e-6);
    for (int i = 44; i < 576; ++i) ASSERT_EQ(xr[i], before[i]) << i;
    EXPECT_EQ(extent, 18 * 2 + 8);

    // Short blocks have none.
    xr = before;
    BlockInfo shortBlock{true, 5, 0, 0, {5, 5, 5}, 0};
    extent = 300;
    reduceAliases(xr.data(), &extent, shortBlock);
    EXPECT_EQ(xr, before);
}

}  // namespace
}  // namespace kivo::mpeg
