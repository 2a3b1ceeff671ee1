// Huffman decoding of the Layer III spectrum: code tables, linbits, count1, limits and the
// treatment of data that overruns its length.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "layer3_stream_builder.h"
#include "mpeg/bit_reader.h"
#include "mpeg/layer3_decoder.h"
#include "mpeg/layer3_huffman.h"

namespace kivo::mpeg {
namespace {

float p43(int v) {
    return std::copysign(std::pow(std::fabs(static_cast<float>(v)), 4.0f / 3.0f), v);
}

struct Spectrum {
    std::vector<float> lines = std::vector<float>(576, 0.0f);
    int extent = 0;
    int64_t endPosition = 0;
};

// Decodes `bits` (part2_3_length = its size unless given) with the side information `g`.
Spectrum decode(const std::string& bits, GranuleChannelInfo g, const BandLayout& bands,
                int part23 = -1, float stale = 0.0f) {
    std::vector<uint8_t> data = test::packBits(bits);
    data.resize(data.size() + 64, 0);
    BitReader br(data.data(), 0);
    Spectrum s;
    std::fill(s.lines.begin(), s.lines.end(), stale);
    s.extent =
        decodeSpectrum(br, g, bands, part23 >= 0 ? part23 : static_cast<int64_t>(bits.size()),
                       stale != 0.0f ? 576 : 0, s.lines.data());
    s.endPosition = br.position();
    return s;
}

GranuleChannelInfo bigValues(int pairs, int table) {
    GranuleChannelInfo g{};
    g.bigValues = pairs;
    g.tableSelect[0] = g.tableSelect[1] = g.tableSelect[2] = table;
    g.region0Count = 15;
    g.region1Count = 7;
    return g;
}

// The compiler works out |v|^(4/3); every entry must be the float the maths library gives.
TEST(Layer3Huffman, PowerTableHoldsTheLibraryValues) {
    const float* table = powerFourThirds();
    int wrong = 0;
    for (int v = 0; v <= kMaxHuffmanValue; ++v) {
        wrong += table[v] != static_cast<float>(std::cbrt(static_cast<double>(v)) * v);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Layer3Huffman, DecodesSingleLevelMultiLevelAndEscapeCodes) {
    const BandLayout bands = test::layoutFor(1, 0);
    struct Case {
        int table;
        std::string bits;
        int x, y;
    } cases[] = {
        {1, "1", 0, 0},
        {1, "011", -1, 0},
        {7,
         "0000000000"
         "0"
         "1",
         5, -5},
        {13,
         "0000000000000000001"
         "1"
         "0",
         -15, 12},  // the longest code word, 19 bits
        {16,
         "00000011"
         "1"
         "0"
         "0"
         "1",
         16, -15},  // escape: one linbit each
        {24,
         "0011"
         "0101"
         "1"
         "0000"
         "0",
         -20, 15},  // escape: four linbits each
        {24,
         "1001010"
         "0"
         "1",
         2, -3},
    };
    for (const Case& c : cases) {
        const Spectrum s = decode(c.bits, bigValues(1, c.table), bands);
        EXPECT_FLOAT_EQ(s.lines[0], p43(c.x)) << c.table << " " << c.bits;
        EXPECT_FLOAT_EQ(s.lines[1], p43(c.y)) << c.table << " " << c.bits;
        EXPECT_EQ(s.endPosition, static_cast<int64_t>(c.bits.size())) << c.table;
    }
    // Several pairs in a row, each with its own signs.
    const std::string bits = test::table1Pair(1, 1) + test::table1Pair(-1, 0) +
                             test::table1Pair(0, -1) + test::table1Pair(0, 0);
    const Spectrum s = decode(bits, bigValues(4, 1), bands);
    const float expected[8] = {1, 1, -1, 0, 0, -1, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(s.lines[i], expected[i]) << i;
    EXPECT_EQ(s.extent, 8);
}

TEST(Layer3Huffman, Count1QuadruplesAndTheirExtent) {
    const BandLayout bands = test::layoutFor(1, 0);
    GranuleChannelInfo g = bigValues(1, 1);
    // Pair (0,0), then table A: 0001 (y) with "0101", 1000 (v) with "0111", then 0000 ("1").
    std::string bits = "1" + std::string("0101") + "1" + "0111" + "0" + "1";
    Spectrum s = decode(bits, g, bands);
    const float a[10] = {0, 0, 0, 0, 0, -1, 1, 0, 0, 0};
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(s.lines[i], a[i]) << i;
    // The last non-zero quadruple has x and y zero: the extent ends two lines into it.
    EXPECT_EQ(s.extent, 2 + 4 + 2);

    // Table B: four bits inverted, "0000" is all four values.
    g.count1Table = 1;
    bits = "1" + std::string("0000") + "0101";
    s = decode(bits, g, bands);
    const float b[6] = {0, 0, 1, -1, 1, -1};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(s.lines[i], b[i]) << i;
    EXPECT_EQ(s.extent, 6);
}

TEST(Layer3Huffman, Count1QuadrupleOverrunningTheLengthIsDropped) {
    const BandLayout bands = test::layoutFor(1, 0);
    GranuleChannelInfo g = bigValues(0, 1);
    g.count1Table = 1;
    // Two quadruples of four ones each need 8 bits apiece; the length ends inside the second
    // one's sign bits.
    const std::string bits =
        "0000"
        "0000"
        "0000"
        "0101";
    const Spectrum s = decode(bits, g, bands, 13);
    for (int i = 0; i < 4; ++i) EXPECT_NE(s.lines[i], 0.0f) << i;
    for (int i = 4; i < 8; ++i) EXPECT_EQ(s.lines[i], 0.0f) << i;
    EXPECT_EQ(s.extent, 4);
}

TEST(Layer3Huffman, BrokenDataSilencesTheChannel) {
    const BandLayout bands = test::layoutFor(1, 0);
    // Big values that run well past part2_3_length: silence, and stale lines cleared.
    std::string bits;
    for (int i = 0; i < 20; ++i) bits += test::table1Pair(1, 1);
    Spectrum s = decode(bits, bigValues(20, 1), bands, 40, 7.0f);
    EXPECT_EQ(s.extent, 0);
    for (float v : s.lines) ASSERT_EQ(v, 0.0f);

    // More big values than a granule has lines.
    s = decode(bits, bigValues(289, 1), bands, -1, 7.0f);
    EXPECT_EQ(s.extent, 0);
    for (float v : s.lines) ASSERT_EQ(v, 0.0f);
}

TEST(Layer3Huffman, NothingAboveTheDecodedLines) {
    // Every pair (1,1): lines up to the limit carry values, the rest stay zero. Regions whose
    // boundary lies past the last band end the big values (region 2 here, coded as table 5).
    std::string bits;
    for (int i = 0; i < 288; ++i) bits += test::table1Pair(1, 1);
    GranuleChannelInfo g = bigValues(288, 1);
    g.tableSelect[2] = 5;

    const BandLayout mpeg1 = test::layoutFor(1, 0);  // 44.1 kHz: 31 subbands, 558 lines
    Spectrum s = decode(bits, g, mpeg1, -1, 3.0f);
    EXPECT_EQ(s.extent, 558);
    for (int i = 0; i < 558; ++i) ASSERT_FLOAT_EQ(s.lines[i], 1.0f) << i;
    for (int i = 558; i < 576; ++i) ASSERT_EQ(s.lines[i], 0.0f) << i;

    const BandLayout lsf =
        test::layoutFor(2, 0);  // 22.05 kHz: the top band (522..575) is not decoded
    s = decode(bits, g, lsf, -1, 3.0f);
    EXPECT_EQ(s.extent, 522);
    for (int i = 0; i < 522; ++i) ASSERT_FLOAT_EQ(s.lines[i], 1.0f) << i;
    for (int i = 522; i < 576; ++i) ASSERT_EQ(s.lines[i], 0.0f) << i;
}

}  // namespace
}  // namespace kivo::mpeg

namespace kivo::mpeg {
namespace {

TEST(Layer3Huffman, FrequencyLimitSetsTheDecodedLines) {
    struct Case {
        int version, rateIndex, limitHz, lineLimit, outputSubbands;
    } cases[] = {
        {1, 0, 24000, 558, 31},  // the top subband is never decoded
        {1, 0, 11025, 288, 16},  // (22050 + 11025 * 64) / 44100 = 16 subbands
        {1, 0, 1000, 18, 1},         {1, 0, 10, 18, 1},       // limits below 1000 Hz count as 1000
        {1, 0, 2000000000, 558, 31}, {2, 0, 24000, 530, 30},  // LSF: the last band's start plus 8
        {25, 2, 24000, 558, 31},                              // MPEG 2.5 at 8 kHz
    };
    for (const Case& c : cases) {
        test::FramePlan f;
        f.version = c.version;
        f.rateIndex = c.rateIndex;
        auto decoder = std::make_unique<Layer3Decoder>();
        auto synth = std::make_unique<SynthesisState>();
        PcmFormat format;
        ASSERT_EQ(decoder->init(f.header(), 0, c.limitHz, &format, *synth), 1);
        EXPECT_EQ(decoder->bands().lineLimit, c.lineLimit) << c.version << " " << c.limitHz;
        EXPECT_EQ(decoder->bands().outputSubbands, c.outputSubbands)
            << c.version << " " << c.limitHz;
    }
}

}  // namespace
}  // namespace kivo::mpeg
