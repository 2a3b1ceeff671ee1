// The decoder's front door: the process-wide operations and the dispatch by layer.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "layer3_stream_builder.h"
#include "mpeg/decoder.h"

namespace kivo::mpeg {
namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        std::fclose(f);
    }
    return bytes;
}

TEST(Decoder, ProcessOperationsDecodeLayer3) {
    test::FramePlan f;
    f.mode = 0;
    for (int gr = 0; gr < 2; ++gr) {
        for (int ch = 0; ch < 2; ++ch) f.granule[gr][ch] = test::loudGranule(30);
    }
    std::vector<uint8_t> stream = test::buildStream({f, f});
    stream.resize(stream.size() + kFrameSpanBytes);

    const DecoderOps& ops = processDecoderOps();
    EXPECT_EQ(&ops, &processDecoderOps());
    const FrameHeader h = f.header();
    ASSERT_EQ(ops.decoderInit(&h, 417, 0, 0, 0, 24000), 1);
    PcmFormat format{};
    ops.decoderGetFormat(&format);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.valuesPerFrame, 2304);
    std::vector<int16_t> pcm(2304);
    const uint64_t r = ops.decoderDecodeFrame(stream.data(), pcm.data());
    EXPECT_EQ(consumedBytes(r), 417u);
    EXPECT_EQ(producedBytes(r), 4608u);
}

TEST(Decoder, DispatchesByLayerCode) {
    auto decoder = std::make_unique<MpegDecoder>();
    std::vector<uint8_t> layer2 =
        readFile(std::string(KIVO_TEST_DATA) + "/conformance/l2-fl13.bit");
    ASSERT_GT(layer2.size(), 4u);
    const FrameHeader h2 = parseFrameHeader(layer2.data());
    ASSERT_EQ(h2.layerCode, 2);
    ASSERT_TRUE(decoder->start(h2, frameLengthOf(h2), 24000));
    PcmFormat format = decoder->format();
    EXPECT_EQ(format.valuesPerFrame, 1152);
    layer2.resize(layer2.size() + kFrameSpanBytes);
    std::vector<int16_t> pcm(1152);
    EXPECT_EQ(decoder->decodeFrame(layer2.data(), kFrameSpanBytes, pcm.data()).consumed,
              static_cast<uint32_t>(frameLengthOf(h2) + h2.padding));

    // A Layer III frame handed to the Layer II stream is not decoded as Layer III.
    test::FramePlan f;
    f.granule[0][0] = test::loudGranule(10);
    std::vector<uint8_t> layer3 = test::buildStream({f});
    layer3.resize(layer3.size() + kFrameSpanBytes);
    std::vector<int16_t> block(2304);
    EXPECT_TRUE(decoder->decodeFrame(layer3.data(), kFrameSpanBytes, block.data()).refused());

    // Layer I and the invalid layer code are refused, and a refused init leaves nothing to
    // decode with.
    FrameHeader h1 = h2;
    h1.layerCode = 3;
    EXPECT_FALSE(decoder->start(h1, 100, 24000));
    format = decoder->format();
    EXPECT_EQ(format.channels, 0);
    EXPECT_TRUE(decoder->decodeFrame(layer2.data(), kFrameSpanBytes, pcm.data()).refused());
}

TEST(Decoder, StateStaysWithinItsBudget) {
    EXPECT_LE(sizeof(MpegDecoder), 64u * 1024u);
}

}  // namespace
}  // namespace kivo::mpeg
