// Joint stereo: mid/side and intensity stereo of MPEG-1 and LSF streams.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "layer3_stream_builder.h"
#include "mpeg/layer3_decoder.h"
#include "mpeg/layer3_stereo.h"

namespace kivo::mpeg {
namespace {

struct Granule {
    std::vector<float> left = std::vector<float>(576, 0.0f);
    std::vector<float> right = std::vector<float>(576, 0.0f);
    int leftExtent = 0, rightExtent = 0;
    BlockInfo leftInfo{false, 21, 12, 22, {11, 11, 11}, 576};
    BlockInfo rightInfo{false, -1, 12, 22, {11, 11, 11}, 0};  // right channel all zero
    ScaleFactors rightScaleFactors{};

    void run(bool ms, bool intensity, const BandLayout& bands,
             const IntensityLimits* limits = nullptr) {
        FrameSideInfo frame{};
        frame.msStereo = ms;
        frame.intensityStereo = intensity;
        processJointStereo(frame, {left.data(), &leftExtent, &leftInfo},
                           {right.data(), &rightExtent, &rightInfo}, rightScaleFactors, limits,
                           bands);
    }
};

TEST(Layer3Stereo, MidSideGivesSumAndDifference) {
    const BandLayout bands = test::layoutFor(1);
    Granule g;
    for (int i = 0; i < 100; ++i) g.left[i] = static_cast<float>(i);
    for (int i = 0; i < 60; ++i) g.right[i] = 1.0f;
    g.leftExtent = 100;
    g.rightExtent = 60;
    g.run(true, false, bands);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(g.left[i], i + (i < 60 ? 1.0f : 0.0f)) << i;
        EXPECT_EQ(g.right[i], i - (i < 60 ? 1.0f : 0.0f)) << i;
    }
    EXPECT_EQ(g.leftExtent, 100);
    EXPECT_EQ(g.rightExtent, 100);
}

TEST(Layer3Stereo, Mpeg1IntensityPositions) {
    const BandLayout bands = test::layoutFor(1);
    auto band = [&](int b) {
        return std::pair<int, int>(bands.longBounds[b], bands.longBounds[b + 1]);
    };
    for (bool ms : {false, true}) {
        Granule g;
        for (int i = 0; i < 558; ++i) g.left[i] = 2.0f;
        g.leftExtent = 558;
        g.rightScaleFactors.longBand[0] = 7;   // not allowed: the band stays as coded
        g.rightScaleFactors.longBand[1] = 0;   // all to the right
        g.rightScaleFactors.longBand[2] = 3;   // centre
        g.rightScaleFactors.longBand[3] = 12;  // out of range, read as 7
        g.rightScaleFactors.longBand[20] = 0;  // band 21 has no position and takes band 20's
        g.run(ms, true, bands);
        const float k = ms ? std::sqrt(2.0f) : 1.0f;
        for (auto [b, lr] :
             std::vector<std::pair<int, std::pair<float, float>>>{{0, {2.0f, ms ? 2.0f : 0.0f}},
                                                                  {1, {0.0f, 2.0f * k}},
                                                                  {2, {k, k}},
                                                                  {3, {2.0f, ms ? 2.0f : 0.0f}},
                                                                  {20, {0.0f, 2.0f * k}},
                                                                  {21, {0.0f, 2.0f * k}}}) {
            for (int i = band(b).first; i < std::min(band(b).second, 558); ++i) {
                ASSERT_NEAR(g.left[i], lr.first, 1e-5) << "ms " << ms << " band " << b;
                ASSERT_NEAR(g.right[i], lr.second, 1e-5) << "ms " << ms << " band " << b;
            }
        }
        EXPECT_EQ(g.rightExtent, 558);
    }
}

TEST(Layer3Stereo, IntensityStartsAboveTheRightChannelsLastBand) {
    const BandLayout bands = test::layoutFor(1);
    Granule g;
    for (int i = 0; i < 558; ++i) g.left[i] = 1.0f;
    g.leftExtent = 558;
    const int end5 = bands.longBounds[6];
    for (int i = 0; i < end5; ++i) g.right[i] = 3.0f;
    g.rightExtent = end5;
    g.rightInfo.lastNonZeroBand = 5;
    g.rightInfo.nonZeroEnd = end5;
    // Position 0 everywhere: intensity bands move all to the right.
    g.run(false, true, bands);
    for (int i = 0; i < end5; ++i) ASSERT_EQ(g.right[i], 3.0f) << i;
    for (int i = 0; i < end5; ++i) ASSERT_EQ(g.left[i], 1.0f) << i;
    for (int i = end5; i < 558; ++i) ASSERT_EQ(g.left[i], 0.0f) << i;
    for (int i = end5; i < 558; ++i) ASSERT_EQ(g.right[i], 1.0f) << i;
}

TEST(Layer3Stereo, LsfIntensityPositionsAndTheNotAllowedOne) {
    const BandLayout bands = test::layoutFor(2);
    IntensityLimits limits{};
    for (auto& l : limits.longBand) l = 3;  // slen 2: positions 0..2, 3 not allowed
    limits.scale = 0;
    Granule g;
    for (int i = 0; i < 522; ++i) g.left[i] = 4.0f;
    g.leftExtent = 522;
    g.rightScaleFactors.longBand[0] = 3;  // the last position: unchanged
    g.rightScaleFactors.longBand[1] = 1;  // odd: left weakened by 2^-1/4
    g.rightScaleFactors.longBand[2] = 2;  // even: right weakened by 2^-1/4
    g.rightScaleFactors.longBand[3] = 0;  // both as coded
    g.run(false, true, bands, &limits);
    const float io = std::pow(2.0f, -0.25f);
    const std::pair<float, float> expected[4] = {{4, 0}, {4 * io, 4}, {4, 4 * io}, {4, 4}};
    for (int b = 0; b < 4; ++b) {
        for (int i = bands.longBounds[b]; i < bands.longBounds[b + 1]; ++i) {
            ASSERT_NEAR(g.left[i], expected[b].first, 1e-5) << b;
            ASSERT_NEAR(g.right[i], expected[b].second, 1e-5) << b;
        }
    }
}

TEST(Layer3Stereo, ShortBlocksUseAPositionPerWindow) {
    const BandLayout bands = test::layoutFor(1);
    Granule g;
    g.rightInfo = {true, -1, 0, 0, {-1, -1, -1}, 0};
    for (int i = 0; i < 558; ++i) g.left[i] = 1.0f;
    g.leftExtent = 558;
    g.rightScaleFactors.shortBand[0][4] = 0;  // window 0: all right
    g.rightScaleFactors.shortBand[1][4] = 7;  // window 1: as coded
    g.rightScaleFactors.shortBand[2][4] = 3;  // window 2: centre
    for (int w = 0; w < 3; ++w) {
        for (int b = 0; b < 12; ++b) {
            if (b != 4) g.rightScaleFactors.shortBand[w][b] = 7;
        }
    }
    g.run(false, true, bands);
    const int start = 3 * bands.shortBounds[4], end = 3 * bands.shortBounds[5];
    for (int i = start; i < end; ++i) {
        const float expectedLeft[3] = {0.0f, 1.0f, 0.5f};
        const float expectedRight[3] = {1.0f, 0.0f, 0.5f};
        const int w = (i - start) % 3;
        EXPECT_NEAR(g.left[i], expectedLeft[w], 1e-6) << i;
        EXPECT_NEAR(g.right[i], expectedRight[w], 1e-6) << i;
    }
}

}  // namespace
}  // namespace kivo::mpeg
