// Finding and following an MPEG audio stream in raw bytes: frame lengths (free format
// measured), the three-frame check, the Xing header and the resync step.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mpeg/frame_length.h"
#include "stream_bytes.h"
#include "stream_rules.h"

namespace kivo {
namespace {

using test::appendFrame;
using test::FrameSpec;

// Three or more frames at their exact lengths; returns the stream.
std::vector<uint8_t> framesOf(std::initializer_list<FrameSpec> specs) {
    std::vector<uint8_t> out;
    for (const FrameSpec& f : specs) {
        const std::vector<uint8_t> h = test::frameHeaderBytes(f);
        const mpeg::FrameHeader header = mpeg::parseFrameHeader(h.data());
        appendFrame(out, f, static_cast<size_t>(mpeg::frameLengthOf(header) + f.padding));
    }
    return out;
}

TEST(FrameLength, FollowsLayerVersionAndRate) {
    struct Case {
        FrameSpec spec;
        int32_t length;
    } cases[] = {
        {{0xFB, 9, 0, 0, 1}, 417},   // MPEG-1 Layer III 128 kbps 44.1 kHz
        {{0xFB, 14, 1, 0, 1}, 960},  // 320 kbps 48 kHz
        {{0xF3, 8, 0, 0, 3}, 208},   // MPEG-2 Layer III 64 kbps 22.05 kHz
        {{0xE3, 4, 0, 0, 1}, 208},   // MPEG 2.5 Layer III 32 kbps 11.025 kHz
        {{0xFD, 10, 0, 0, 0}, 626},  // MPEG-1 Layer II 192 kbps 44.1 kHz
        {{0xF5, 8, 1, 0, 0}, 384},   // MPEG-2 Layer II 64 kbps 24 kHz
        {{0xFF, 12, 0, 0, 0}, 416},  // MPEG-1 Layer I 384 kbps 44.1 kHz, in 4-byte slots
    };
    for (const Case& c : cases) {
        const auto bytes = test::frameHeaderBytes(c.spec);
        const auto h = mpeg::parseFrameHeader(bytes.data());
        EXPECT_EQ(measureFrameLength(bytes.data(), bytes.size(), h), c.length)
            << "b1 " << int{c.spec.b1} << " bitrate index " << c.spec.bitrateIndex;
    }
    // No frame: reserved rate, bitrate index 15, layer code 0.
    for (FrameSpec f :
         {FrameSpec{0xFB, 9, 3, 0, 1}, FrameSpec{0xFB, 15, 0, 0, 1}, FrameSpec{0xF9, 9, 0, 0, 1}}) {
        const auto bytes = test::frameHeaderBytes(f);
        EXPECT_LE(
            measureFrameLength(bytes.data(), bytes.size(), mpeg::parseFrameHeader(bytes.data())),
            0);
    }
}

TEST(FreeFormat, LengthIsMeasuredFromTheRepeatingHeader) {
    // Frames of 700 bytes, the second padded; a copy of the header bytes inside the first
    // frame's payload must not be taken for the next frame.
    FrameSpec f{0xFB, 0, 0, 0, 1};
    FrameSpec padded = f;
    padded.padding = 1;
    std::vector<uint8_t> s;
    appendFrame(s, f, 700);
    s[100] = 0xFF;
    s[101] = 0xFB;
    appendFrame(s, padded, 701);
    appendFrame(s, f, 700);
    appendFrame(s, f, 700);
    const auto h = mpeg::parseFrameHeader(s.data());
    EXPECT_EQ(measureFrameLength(s.data(), s.size(), h), 700);

    // A header that never repeats, or whose window ends too early, has no length.
    std::vector<uint8_t> lone;
    appendFrame(lone, f, 3000);
    EXPECT_EQ(measureFrameLength(lone.data(), lone.size(), h), 0);
    EXPECT_EQ(measureFrameLength(s.data(), 700, h), 0);
    EXPECT_EQ(measureFrameLength(s.data(), 3, h), 0);

    // A file made by an encoder in free-format mode: 320 kbps at 44.1 kHz.
    const auto file = test::readBytes(test::streamFixture("l3_free_320.mp3"));
    ASSERT_GT(file.size(), kStreamPeekBytes);
    FrameHeader found{};
    int32_t length = 0;
    ASSERT_TRUE(findThreeFrames(file.data(), kStreamPeekBytes, &found, &length));
    EXPECT_EQ(found.bitrateIndex, 0);
    EXPECT_EQ(length, 1044);
}

TEST(FindSync, AcceptsBothSyncWordsAndStaysInTheSpan) {
    const uint8_t bytes[] = {0x00, 0xFF, 0x00, 0xFF, 0xE2, 0xFF, 0xFB, 0xFF};
    EXPECT_EQ(findSync(bytes, sizeof bytes, 0), 3);  // 0xFFE: MPEG 2.5
    EXPECT_EQ(findSync(bytes, sizeof bytes, 4), 5);
    EXPECT_EQ(findSync(bytes, sizeof bytes, 6), -1);  // a lone 0xFF at the very end
    EXPECT_EQ(findSync(bytes, 0, 0), -1);
}

TEST(ThreeFrames, ConsistentFramesLockOnTheThird) {
    FrameSpec a{0xFB, 9, 0, 0, 1};
    FrameSpec b = a;
    b.padding = 1;
    FrameSpec c = a;
    c.bitrateIndex = 11;                    // bitrates may change from frame to frame
    std::vector<uint8_t> s = {0x00, 0x12};  // filler before the first frame
    const auto frames = framesOf({a, b, c, a});
    s.insert(s.end(), frames.begin(), frames.end());
    FrameHeader h{};
    int32_t length = 0;
    ASSERT_TRUE(findThreeFrames(s.data(), s.size(), &h, &length));
    EXPECT_EQ(h.bitrateIndex, 11);
    EXPECT_EQ(length, mpeg::frameLengthOf(h));

    // Stereo and joint stereo frames belong to one stream.
    FrameSpec stereo = a;
    stereo.mode = 0;
    const auto mixed = framesOf({stereo, a, a});
    EXPECT_TRUE(findThreeFrames(mixed.data(), mixed.size(), &h, &length));
}

TEST(ThreeFrames, InconsistentOrRefusedFramesFailTheAttempt) {
    FrameSpec k48{0xFB, 9, 1, 0, 1};
    FrameSpec k44 = k48;
    k44.rateIndex = 0;
    FrameSpec mono = k48;
    mono.mode = 3;
    FrameSpec layer2 = k48;
    layer2.b1 = 0xFD;
    FrameSpec layer1{0xFF, 12, 0, 0, 0};
    FrameSpec huge{0xFD, 14, 2, 0, 0};  // Layer II 384 kbps at 32 kHz: 1728 bytes
    FrameSpec mpeg2 = k48;
    mpeg2.b1 = 0xF3;
    FrameSpec l2a{0xFD, 10, 0, 0, 0};
    const std::vector<uint8_t> refused[] = {
        framesOf({k48, k48, k44}),  // the rate changes at the third frame
        framesOf({k48, mono, k48}),    framesOf({k48, layer2, layer2}),
        framesOf({k48, mpeg2, mpeg2}), framesOf({layer1, layer1, layer1}),
        framesOf({huge, huge, huge}),
    };
    FrameHeader h{};
    int32_t length = 0;
    for (const auto& s : refused) EXPECT_FALSE(findThreeFrames(s.data(), s.size(), &h, &length));

    // A stray byte between frames: the next frame is not where the length says.
    std::vector<uint8_t> gap;
    appendFrame(gap, l2a, 626);
    gap.push_back(0);
    const auto rest = framesOf({l2a, l2a});
    gap.insert(gap.end(), rest.begin(), rest.end());
    EXPECT_FALSE(findThreeFrames(gap.data(), gap.size(), &h, &length));

    // The window ends inside the third header: no read past it, no stream.
    const auto ok = framesOf({l2a, l2a, l2a});
    EXPECT_TRUE(findThreeFrames(ok.data(), 626 * 2 + 4, &h, &length));
    EXPECT_FALSE(findThreeFrames(ok.data(), 626 * 2 + 3, &h, &length));
    EXPECT_FALSE(findThreeFrames(ok.data(), 0, &h, &length));
}

// A Layer III frame of 417 bytes with a Xing tag at `offset` and the given fields.
std::vector<uint8_t> xingFrame(FrameSpec spec, size_t offset, uint32_t flags, bool cut = false) {
    std::vector<uint8_t> f;
    appendFrame(f, spec, 417);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    std::memcpy(&f[offset], "Xing", 4);
    put32(offset + 4, flags);
    size_t at = offset + 8;
    if (flags & 1) put32(at, 1234), at += 4;
    if (flags & 2) put32(at, 567890), at += 4;
    if (flags & 4) {
        for (int i = 0; i < 100; ++i) f[at + i] = static_cast<uint8_t>(i * 256 / 100);
        at += 100;
    }
    if (flags & 8) put32(at, 78), at += 4;
    if (cut) f.resize(at - 2);
    return f;
}

TEST(Xing, FieldsFollowTheFlagsAtTheOffsetOfTheSideInformation) {
    const FrameSpec stereo1{0xFB, 9, 0, 0, 1};
    const FrameSpec mono1{0xFB, 9, 0, 0, 3};
    const FrameSpec stereo2{0xF3, 8, 0, 0, 1};
    const FrameSpec mono2{0xF3, 8, 0, 0, 3};
    const struct {
        FrameSpec spec;
        size_t offset;
        int32_t rate;
    } places[] = {
        {stereo1, 36, 44100}, {mono1, 21, 44100}, {stereo2, 21, 22050}, {mono2, 13, 22050}};
    for (const auto& p : places) {
        const auto f = xingFrame(p.spec, p.offset, 0xF);
        const auto xing = parseXing(f.data(), f.size());
        ASSERT_TRUE(xing) << p.offset;
        EXPECT_EQ(xing->mpeg1, p.spec.b1 == 0xFB ? 1 : 0);
        EXPECT_EQ(xing->sampleRate, p.rate);
        EXPECT_EQ(xing->frames, 1234);
        EXPECT_EQ(xing->bytes, 567890);
        EXPECT_TRUE(xing->hasToc);
        EXPECT_EQ(xing->toc[50], 128);
        EXPECT_EQ(xing->vbrScale, 78);
        // At any other offset the tag is not looked for.
        const auto misplaced = xingFrame(p.spec, p.offset + 1, 0xF);
        EXPECT_FALSE(parseXing(misplaced.data(), misplaced.size()));
    }

    // Without frames and TOC flags those fields stay unset; later fields move up.
    const auto partial = xingFrame(stereo1, 36, 0x2 | 0x8);
    auto xing = parseXing(partial.data(), partial.size());
    ASSERT_TRUE(xing);
    EXPECT_EQ(xing->flags, 0xA);
    EXPECT_EQ(xing->bytes, 567890);
    EXPECT_EQ(xing->vbrScale, 78);
    EXPECT_FALSE(xing->hasToc);

    // Fields the flags announce beyond the end of the bytes are dropped, not read.
    const auto cut = xingFrame(stereo1, 36, 0x7, true);
    xing = parseXing(cut.data(), cut.size());
    ASSERT_TRUE(xing);
    EXPECT_EQ(xing->flags, 0x3);
    EXPECT_FALSE(xing->hasToc);
    EXPECT_FALSE(parseXing(cut.data(), 40));

    // An encoder's variable-bitrate file.
    const auto file = test::readBytes(test::streamFixture("l3_vbr_v2.mp3"));
    xing = parseXing(file.data(), std::min(file.size(), kStreamPeekBytes));
    ASSERT_TRUE(xing);
    EXPECT_EQ(xing->flags & 0x7, 0x7);
    EXPECT_GT(xing->frames, 50);
}

TEST(Xing, SeekOffsetInterpolatesTheTableOfContents) {
    XingInfo xing;
    xing.hasToc = true;
    xing.flags = 4;
    for (int i = 0; i < 100; ++i) xing.toc[i] = static_cast<uint8_t>(i * 2);  // front-heavy
    EXPECT_EQ(xingSeekOffset(xing, 0, 256000), 0u);
    EXPECT_EQ(xingSeekOffset(xing, 50, 256000), 100u * 1000);
    EXPECT_EQ(xingSeekOffset(xing, 100, 256000), 256000u);  // the end of the last entry
    EXPECT_EQ(xingSeekOffset(xing, 150, 256000), 256000u);
    EXPECT_EQ(xingSeekOffset(xing, -3, 256000), 0u);
    // Without a table the offset is proportional.
    XingInfo plain;
    EXPECT_EQ(xingSeekOffset(plain, 25, 4000000), 1000000u);
}

TEST(Resync, CandidateIsTheFirstSyncAfterTheFailedByteUpToTheSpansLastOffset) {
    // The span and the one byte past it that the stage reads.
    std::vector<uint8_t> s(1442, 0x00);
    EXPECT_EQ(resyncCandidate(s.data(), 1441, 1442), 1440u);  // none: the whole span goes
    // A frame that starts at the span's last offset is found: its second byte is the one past.
    s[1440] = 0xFF;
    s[1441] = 0xFB;
    EXPECT_EQ(resyncCandidate(s.data(), 1441, 1442), 1439u);
    // At the end of the data that byte does not exist.
    EXPECT_EQ(resyncCandidate(s.data(), 1441, 1441), 1440u);
    s[1] = 0xFF;
    s[2] = 0xFB;
    s[10] = 0xFF;
    s[11] = 0xE3;
    EXPECT_EQ(resyncCandidate(s.data(), 1441, 1442), 0u);  // right after: the caller skips it
    s[1] = 0;
    EXPECT_EQ(resyncCandidate(s.data(), 1441, 1442), 9u);
    EXPECT_EQ(resyncCandidate(s.data(), 2, 2), 1u);
    EXPECT_EQ(resyncCandidate(s.data(), 0, 0), 0u);
}

}  // namespace
}  // namespace kivo
