// Whole Layer III frames through MpegDecoder: reservoir, free format, versions, refusals,
// scale-factor reuse and independent instances.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "layer3_stream_builder.h"
#include "mpeg/decoder.h"

namespace kivo::mpeg {
namespace {

using test::buildStream;
using test::FramePlan;
using test::GranulePlan;
using test::loudGranule;

struct Decoded {
    std::vector<FrameResult> results;
    std::vector<std::vector<int16_t>> pcm;  // one block per frame
};

// Decodes the frames of `stream` one after another, as the engine hands them over.
Decoded decodeAll(MpegDecoder& decoder, const std::vector<uint8_t>& stream) {
    Decoded d;
    PcmFormat format = decoder.format();
    std::vector<uint8_t> padded(stream);
    padded.resize(stream.size() + kFrameSpanBytes, 0);
    size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        std::vector<int16_t> block(static_cast<size_t>(format.valuesPerFrame), 0x5555);
        const FrameResult r =
            decoder.decodeFrame(padded.data() + pos, kFrameSpanBytes, block.data());
        d.results.push_back(r);
        d.pcm.push_back(block);
        if (r.consumed == 0) break;
        pos += r.consumed;
    }
    return d;
}

bool initFor(MpegDecoder& decoder, const FramePlan& f) {
    return decoder.start(
        f.header(), f.bitrateIndex == 0 ? f.freeFormatBytes : frameLengthOf(f.header()), 24000);
}

bool silent(const std::vector<int16_t>& block) {
    return std::all_of(block.begin(), block.end(), [](int16_t v) { return v == 0; });
}

int peak(const std::vector<int16_t>& block) {
    int m = 0;
    for (int16_t v : block) m = std::max(m, std::abs(static_cast<int>(v)));
    return m;
}

FramePlan monoFrame(int pairs = 40) {
    FramePlan f;
    f.granule[0][0] = loudGranule(pairs);
    f.granule[1][0] = loudGranule(pairs);
    return f;
}

TEST(Layer3Frames, FormatAndResultOfAnMpeg1StereoFrame) {
    FramePlan f = monoFrame();
    f.mode = 0;
    f.granule[0][1] = loudGranule(10);
    f.granule[1][1] = loudGranule(10);
    auto decoder = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*decoder, f));
    PcmFormat format = decoder->format();
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.valuesPerFrame, 2304);
    EXPECT_EQ(format.sampleRate, 44100);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.frameBytes, 417);
    EXPECT_EQ(format.reserved, 0);

    const Decoded d = decodeAll(*decoder, buildStream({f, f, f}));
    ASSERT_EQ(d.results.size(), 3u);
    for (FrameResult r : d.results) {
        EXPECT_EQ(r.consumed, 417u);
        EXPECT_EQ(r.produced, 4608u);
    }
    EXPECT_GT(peak(d.pcm[1]), 100);
}

TEST(Layer3Frames, ReservoirUnderflowIsSilentThenDecodingResumes) {
    // The first frame points back into data that precedes the cut: it plays as silence but
    // counts as decoded, and its main data still feeds the next frame.
    FramePlan first = monoFrame();
    first.mainDataBegin = 300;
    FramePlan second = monoFrame();
    second.mainDataBegin = 100;  // starts inside the first frame's main data
    FramePlan third = monoFrame();
    auto decoder = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*decoder, first));
    const Decoded d = decodeAll(*decoder, buildStream({first, second, third}));
    ASSERT_EQ(d.results.size(), 3u);
    EXPECT_EQ(d.results[0].consumed, 417u);
    EXPECT_EQ(d.results[0].produced, 2304u);
    EXPECT_TRUE(silent(d.pcm[0]));
    EXPECT_GT(peak(d.pcm[1]), 100);
    EXPECT_GT(peak(d.pcm[2]), 100);

    // The same content without the cut decodes the same from the second frame on.
    FramePlan whole = monoFrame();
    auto reference = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*reference, whole));
    const Decoded r = decodeAll(*reference, buildStream({whole, whole, whole}));
    EXPECT_TRUE(silent(d.pcm[0]));
    EXPECT_EQ(d.pcm[2], r.pcm[1]);  // one frame later: same spectra after the same history
}

TEST(Layer3Frames, MainDataFromEarlierFramesDecodesAsIfInFrame) {
    FramePlan a = monoFrame(), b = monoFrame(), c = monoFrame();
    b.mainDataBegin = 200;
    c.mainDataBegin = 511;
    auto viaReservoir = std::make_unique<MpegDecoder>();
    auto direct = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*viaReservoir, a));
    ASSERT_TRUE(initFor(*direct, a));
    const Decoded d1 = decodeAll(*viaReservoir, buildStream({a, b, c}));
    const Decoded d2 = decodeAll(*direct, buildStream({a, a, a}));
    ASSERT_EQ(d1.pcm.size(), 3u);
    EXPECT_EQ(d1.pcm, d2.pcm);
}

TEST(Layer3Frames, LongStreamsThroughTheReservoirKeepTheirData) {
    // Enough frames to fill and compact the reservoir several times, every one reaching back
    // into the frames before it.
    std::vector<FramePlan> viaReservoir, direct;
    for (int n = 0; n < 60; ++n) {
        FramePlan f = monoFrame(30 + n % 20);
        direct.push_back(f);
        f.mainDataBegin = n == 0 ? 0 : 150 + (n * 37) % 361;
        viaReservoir.push_back(f);
    }
    auto a = std::make_unique<MpegDecoder>();
    auto b = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*a, direct[0]));
    ASSERT_TRUE(initFor(*b, direct[0]));
    const Decoded d1 = decodeAll(*a, buildStream(viaReservoir));
    const Decoded d2 = decodeAll(*b, buildStream(direct));
    ASSERT_EQ(d1.pcm.size(), 60u);
    EXPECT_EQ(d1.pcm, d2.pcm);
}

TEST(Layer3Frames, CrcIsSkippedUnchecked) {
    FramePlan plain = monoFrame();
    FramePlan protectedFrame = plain;
    protectedFrame.crc = true;  // the builder writes a CRC that does not match
    auto a = std::make_unique<MpegDecoder>();
    auto b = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*a, plain));
    ASSERT_TRUE(initFor(*b, protectedFrame));
    const Decoded d1 = decodeAll(*a, buildStream({plain, plain}));
    const Decoded d2 = decodeAll(*b, buildStream({protectedFrame, protectedFrame}));
    ASSERT_EQ(d2.results.size(), 2u);
    EXPECT_EQ(d2.results[0].consumed, 417u);
    EXPECT_EQ(d1.pcm, d2.pcm);
}

TEST(Layer3Frames, FreeFormatUsesTheFrameBytesGivenToInit) {
    FramePlan f = monoFrame();
    f.bitrateIndex = 0;
    f.freeFormatBytes = 600;
    FramePlan padded = f;
    padded.padding = 1;
    auto decoder = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*decoder, f));
    PcmFormat format = decoder->format();
    EXPECT_EQ(format.frameBytes, 600);
    const Decoded d = decodeAll(*decoder, buildStream({f, padded, f}));
    ASSERT_EQ(d.results.size(), 3u);
    EXPECT_EQ(d.results[0].consumed, 600u);
    EXPECT_EQ(d.results[1].consumed, 601u);
    EXPECT_EQ(d.results[2].consumed, 600u);
    EXPECT_GT(peak(d.pcm[2]), 100);

    // Without a length a free-format stream cannot be decoded.
    EXPECT_FALSE(decoder->start(f.header(), 0, 24000));
}

TEST(Layer3Frames, Mpeg25IsTakenByTheLsfPathOnly) {
    FramePlan f;
    f.version = 25;
    f.rateIndex = 0;  // 11025 Hz
    f.bitrateIndex = 4;
    f.granule[0][0] = loudGranule(40);
    auto lsf = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*lsf, f));
    PcmFormat format;
    format = lsf->format();
    EXPECT_EQ(format.sampleRate, 11025);
    EXPECT_EQ(format.valuesPerFrame, 576);
    const std::vector<uint8_t> stream = buildStream({f, f});
    const Decoded d = decodeAll(*lsf, stream);
    ASSERT_EQ(d.results.size(), 2u);
    EXPECT_EQ(d.results[0].consumed, static_cast<uint32_t>(f.frameBytes()));
    EXPECT_EQ(d.results[0].produced, 1152u);
    EXPECT_GT(peak(d.pcm[1]), 100);

    // An MPEG-1 stream refuses the frame, and so does an MPEG-2 stream of another rate table.
    FramePlan mpeg1 = monoFrame();
    auto other = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*other, mpeg1));
    std::vector<int16_t> pcm(2304);
    std::vector<uint8_t> frame(stream);
    frame.resize(stream.size() + kFrameSpanBytes);
    EXPECT_TRUE(other->decodeFrame(frame.data(), kFrameSpanBytes, pcm.data()).refused());
    FramePlan mpeg2 = f;
    mpeg2.version = 2;
    ASSERT_TRUE(initFor(*other, mpeg2));
    EXPECT_TRUE(other->decodeFrame(frame.data(), kFrameSpanBytes, pcm.data()).refused());
}

TEST(Layer3Frames, LsfFramesAlternateTheirOverlapAcrossFrames) {
    // One loud frame then empty ones: the second frame carries the first one's overlap, the
    // third is silent.
    FramePlan loud;
    loud.version = 2;
    loud.bitrateIndex = 8;
    loud.granule[0][0] = loudGranule(60);
    FramePlan quiet = loud;
    quiet.granule[0][0] = GranulePlan{};
    auto decoder = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*decoder, loud));
    const Decoded d = decodeAll(*decoder, buildStream({loud, quiet, quiet, quiet}));
    ASSERT_EQ(d.results.size(), 4u);
    EXPECT_GT(peak(d.pcm[0]), 100);
    EXPECT_GT(peak(d.pcm[1]), 10);
    EXPECT_LT(peak(d.pcm[3]), 2);
}

TEST(Layer3Frames, RefusedFramesAndStreams) {
    FramePlan f = monoFrame();
    const std::vector<uint8_t> good = buildStream({f});
    auto decoder = std::make_unique<MpegDecoder>();
    std::vector<int16_t> pcm(2304);
    std::vector<uint8_t> bytes(good);
    bytes.resize(good.size() + kFrameSpanBytes);

    // Nothing decodes before a successful init.
    EXPECT_TRUE(decoder->decodeFrame(bytes.data(), kFrameSpanBytes, pcm.data()).refused());

    // Layer I, an invalid layer, a reserved rate and settings other than 0 are refused.
    FrameHeader h = f.header();
    h.layerCode = 3;
    EXPECT_FALSE(decoder->start(h, 417, 24000));
    h.layerCode = 0;
    EXPECT_FALSE(decoder->start(h, 417, 24000));
    h = f.header();
    h.sampleRateIndex = 3;
    EXPECT_FALSE(decoder->start(h, 417, 24000));
    const DecoderOps& ops = processDecoderOps();
    h = f.header();
    EXPECT_EQ(ops.decoderInit(&h, 417, 1, 0, 0, 24000), 0);
    EXPECT_EQ(ops.decoderInit(&h, 417, 0, 1, 0, 24000), 0);
    EXPECT_EQ(ops.decoderInit(&h, 417, 0, 0, 1, 24000), 0);

    ASSERT_TRUE(initFor(*decoder, f));
    EXPECT_FALSE(decoder->decodeFrame(bytes.data(), kFrameSpanBytes, pcm.data()).refused());

    auto refused = [&](std::vector<uint8_t> frame, size_t available = kFrameSpanBytes) {
        frame.resize(frame.size() + kFrameSpanBytes);
        return decoder->decodeFrame(frame.data(), available, pcm.data()).refused();
    };
    std::vector<uint8_t> wrongSync = good;
    wrongSync[1] = 0x7B;
    EXPECT_TRUE(refused(wrongSync));
    std::vector<uint8_t> layer2 = good;
    layer2[1] = 0xFD;
    EXPECT_TRUE(refused(layer2));
    std::vector<uint8_t> otherRate = good;
    otherRate[2] = static_cast<uint8_t>((otherRate[2] & ~0x0C) | 0x04);
    EXPECT_TRUE(refused(otherRate));
    std::vector<uint8_t> badBitrate = good;
    badBitrate[2] |= 0xF0;
    EXPECT_TRUE(refused(badBitrate));
    // A frame longer than the bytes we may read.
    EXPECT_TRUE(refused(good, 416));
    // A frame too short for its own side information (8 kbit/s MPEG-1 does not exist, so use
    // free format with a tiny length).
    FramePlan tiny = f;
    tiny.bitrateIndex = 0;
    tiny.freeFormatBytes = 20;
    ASSERT_TRUE(initFor(*decoder, tiny));
    std::vector<uint8_t> tinyFrame = tiny.headerBytes();
    tinyFrame.resize(20);
    EXPECT_TRUE(refused(tinyFrame));
}

TEST(Layer3Frames, ScfsiReusesGranuleZeroScaleFactors) {
    // Granule 0 codes scale factors (slen 2 and 1 with scalefac_compress 8: bands 0..10 two
    // bits, 11..20 one bit); granule 1 copies all four groups.
    FramePlan explicitBoth;
    std::string sf;
    for (int band = 0; band < 11; ++band) sf += band % 3 == 0 ? "10" : "01";
    for (int band = 11; band < 21; ++band) sf += band % 2 ? "1" : "0";
    GranulePlan g = loudGranule(60);
    g.scalefacCompress = 8;
    const std::string data = g.mainBits;
    g.mainBits = sf + data;
    explicitBoth.granule[0][0] = g;
    explicitBoth.granule[1][0] = g;
    FramePlan reused = explicitBoth;
    reused.scfsi[0] = 15;
    reused.granule[1][0].mainBits = data;

    auto a = std::make_unique<MpegDecoder>();
    auto b = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*a, explicitBoth));
    ASSERT_TRUE(initFor(*b, reused));
    const Decoded da = decodeAll(*a, buildStream({explicitBoth, explicitBoth}));
    const Decoded db = decodeAll(*b, buildStream({reused, reused}));
    EXPECT_EQ(da.pcm, db.pcm);

    // Without the reuse the granule reads the data bits as scale factors: a different result.
    FramePlan notReused = reused;
    notReused.scfsi[0] = 0;
    auto c = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*c, notReused));
    EXPECT_NE(decodeAll(*c, buildStream({notReused, notReused})).pcm, da.pcm);
}

TEST(Layer3Frames, SingleChannelFrameInAStereoStreamPlaysOnBothSides) {
    FramePlan stereo = monoFrame();
    stereo.mode = 0;
    stereo.granule[0][1] = loudGranule(40);
    stereo.granule[1][1] = loudGranule(40);
    FramePlan mono = monoFrame();
    auto decoder = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*decoder, stereo));
    const Decoded d = decodeAll(*decoder, buildStream({stereo, mono, mono}));
    ASSERT_EQ(d.results.size(), 3u);
    EXPECT_EQ(d.results[1].produced, 4608u);
    const std::vector<int16_t>& block = d.pcm[2];
    for (size_t i = 0; i < block.size(); i += 2) ASSERT_EQ(block[i], block[i + 1]) << i;
    EXPECT_GT(peak(block), 100);
}

TEST(Layer3Frames, TwoInstancesDecodeIndependently) {
    FramePlan f1 = monoFrame(50);
    FramePlan f2 = monoFrame(20);
    f2.mode = 1;
    f2.modeExtension = 2;
    f2.granule[0][1] = loudGranule(30);
    f2.granule[1][1] = loudGranule(30);
    const std::vector<uint8_t> s1 = buildStream({f1, f1, f1, f1});
    const std::vector<uint8_t> s2 = buildStream({f2, f2, f2, f2});

    auto alone = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*alone, f1));
    const Decoded expected = decodeAll(*alone, s1);

    // Interleave two instances frame by frame.
    auto a = std::make_unique<MpegDecoder>();
    auto b = std::make_unique<MpegDecoder>();
    ASSERT_TRUE(initFor(*a, f1));
    ASSERT_TRUE(initFor(*b, f2));
    std::vector<uint8_t> p1(s1), p2(s2);
    p1.resize(s1.size() + kFrameSpanBytes);
    p2.resize(s2.size() + kFrameSpanBytes);
    std::vector<int16_t> pcm1(1152), pcm2(2304);
    for (size_t n = 0; n < 4; ++n) {
        ASSERT_FALSE(a->decodeFrame(p1.data() + n * 417, kFrameSpanBytes, pcm1.data()).refused());
        ASSERT_FALSE(b->decodeFrame(p2.data() + n * 417, kFrameSpanBytes, pcm2.data()).refused());
        EXPECT_EQ(pcm1, expected.pcm[n]) << n;
    }
}

TEST(Layer3Frames, InstancesOnTwoThreadsShareOnlyTheTables) {
    // The first decodes of the process build the shared tables from both threads at once.
    FramePlan f = monoFrame(70);
    f.mode = 1;
    f.modeExtension = 3;
    f.granule[0][1] = loudGranule(20);
    f.granule[1][1] = loudGranule(20);
    const std::vector<uint8_t> stream = buildStream({f, f, f, f, f, f});
    Decoded results[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([&, t] {
            auto decoder = std::make_unique<MpegDecoder>();
            if (initFor(*decoder, f)) results[t] = decodeAll(*decoder, stream);
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(results[0].pcm.size(), 6u);
    EXPECT_EQ(results[0].pcm, results[1].pcm);
}

TEST(Layer3Frames, HostileBytesNeverCrashAndGiveWholeBlocksOrRefusals) {
    // Valid headers of every version and mode, followed by random bytes.
    std::mt19937 random(1234);
    const int versions[3] = {1, 2, 25};
    for (int v : versions) {
        for (int mode = 0; mode < 4; ++mode) {
            FramePlan f;
            f.version = v;
            f.mode = mode;
            f.modeExtension = 3;
            f.bitrateIndex = 14;
            auto decoder = std::make_unique<MpegDecoder>();
            ASSERT_TRUE(initFor(*decoder, f));
            const PcmFormat format = decoder->format();
            std::vector<int16_t> pcm(static_cast<size_t>(format.valuesPerFrame) + 16, 0x7777);
            const int length = f.frameBytes();
            for (int round = 0; round < 300; ++round) {
                // Exactly the frame's bytes are readable: a read past them trips ASan.
                std::vector<uint8_t> frame(static_cast<size_t>(length));
                for (auto& byte : frame) byte = static_cast<uint8_t>(random());
                const std::vector<uint8_t> head = f.headerBytes();
                std::copy(head.begin(), head.end(), frame.begin());
                frame[1] = static_cast<uint8_t>(frame[1] | 1);  // no CRC
                if (round % 3 == 0) frame[4] = 0;  // main_data_begin 0: decode, not underflow
                const FrameResult r = decoder->decodeFrame(frame.data(), frame.size(), pcm.data());
                if (!r.refused()) {
                    EXPECT_EQ(r.consumed, static_cast<uint32_t>(length));
                    EXPECT_EQ(r.produced, static_cast<uint32_t>(format.valuesPerFrame * 2));
                }
                for (size_t i = static_cast<size_t>(format.valuesPerFrame); i < pcm.size(); ++i) {
                    ASSERT_EQ(pcm[i], 0x7777);
                }
            }
        }
    }
}

}  // namespace
}  // namespace kivo::mpeg
