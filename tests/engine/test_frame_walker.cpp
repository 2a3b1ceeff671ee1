// Following whole files in memory: tags around the audio, damage inside it, a cut-off end, and
// streams the decoder does not take.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "frame_walker.h"
#include "id3_tags.h"
#include "stream_bytes.h"

namespace kivo {
namespace {

struct Walked {
    bool found = false;
    int32_t frames = 0;
    int32_t failures = 0;
    size_t pcmBytes = 0;
};

Walked decodeAll(const std::vector<uint8_t>& audio) {
    Walked w;
    FrameWalker walker(audio);
    w.found = walker.findStream();
    if (!w.found) return w;
    auto decoder = std::make_unique<mpeg::MpegDecoder>();
    EXPECT_TRUE(walker.initDecoder(*decoder));
    std::vector<int16_t> block(4608);
    for (int64_t produced; (produced = walker.decodeNext(*decoder, block.data())) >= 0;) {
        EXPECT_LE(produced, 4608 * 2);
        if (produced > 0) ++w.frames;
        w.pcmBytes += static_cast<size_t>(produced);
    }
    w.failures = walker.failures();
    return w;
}

TEST(FrameWalker, DecodesEveryCompleteFrameAndNotACutOne) {
    const auto file = test::readBytes(test::streamFixture("l3_128_joint.mp3"));
    ASSERT_GT(file.size(), 20000u);
    const Walked whole = decodeAll(file);
    ASSERT_TRUE(whole.found);
    EXPECT_EQ(whole.failures, 0);
    // Every byte belongs to a frame: the last one ends the file.
    EXPECT_EQ(whole.frames, 79);
    EXPECT_EQ(whole.pcmBytes, 79u * 1152 * 4);

    // Ten bytes short: the last frame is cut off and left out, quietly.
    const std::vector<uint8_t> cut(file.begin(), file.end() - 10);
    const Walked shorter = decodeAll(cut);
    EXPECT_EQ(shorter.frames, 78);
    EXPECT_EQ(shorter.failures, 0);
}

TEST(FrameWalker, DamageCostsAResyncAndDecodingGoesOn) {
    auto file = test::readBytes(test::streamFixture("l2_192_stereo.mp2"));
    ASSERT_GT(file.size(), 20000u);
    // Overwrite the header of a frame in the middle with garbage.
    const size_t middle = 626 * 30;
    ASSERT_EQ(file[middle], 0xFF);
    for (size_t i = middle; i < middle + 8; ++i) file[i] = 0x5A;
    const Walked w = decodeAll(file);
    ASSERT_TRUE(w.found);
    EXPECT_GE(w.failures, 1);
    // The damaged frame is lost, nothing more.
    EXPECT_GE(w.frames, 77 - 2);
}

TEST(FrameWalker, LeadingJunkAndTagsAreSteppedOver) {
    const auto plain = test::readBytes(test::streamFixture("l3_128_joint.mp3"));
    std::vector<uint8_t> junk(300, 0x00);
    junk[7] = 0xFF;  // a lone sync byte in the junk
    junk.insert(junk.end(), plain.begin(), plain.end());
    const Walked w = decodeAll(junk);
    ASSERT_TRUE(w.found);
    EXPECT_EQ(w.frames, 79);

    for (const char* name : {"l3_128_id3v2.mp3", "l3_128_id3v1v2.mp3"}) {
        const auto file = test::readBytes(test::streamFixture(name));
        const uint64_t start = id3v2TagLength(file.data(), file.size());
        EXPECT_GT(start, 10u) << name;
        ASSERT_EQ(file[start], 0xFF) << name;  // the audio follows the tag at once
    }
    const auto tagged = test::readBytes(test::streamFixture("l3_128_id3v1.mp3"));
    EXPECT_TRUE(endsWithId3v1(tagged.data() + tagged.size() - 128, 128, tagged.size()));
    EXPECT_FALSE(endsWithId3v1(plain.data() + plain.size() - 128, 128, plain.size()));
}

TEST(FrameWalker, Layer1IsRecognisedButNotTaken) {
    std::vector<uint8_t> s;
    const test::FrameSpec layer1{0xFF, 12, 0, 0, 0};
    for (int i = 0; i < 40; ++i) test::appendFrame(s, layer1, 416);
    FrameWalker walker(s);
    EXPECT_FALSE(walker.findStream());
    EXPECT_TRUE(FrameWalker::holdsLayer1Stream(s));
    const auto layer3 = test::readBytes(test::streamFixture("l3_128_joint.mp3"));
    EXPECT_FALSE(FrameWalker::holdsLayer1Stream(layer3));
}

TEST(FrameWalker, ResyncPassesOverACandidateRightAfterTheFailedByte) {
    std::vector<uint8_t> s(64, 0x00);
    s[1] = 0xFF;
    s[2] = 0xFB;
    s[20] = 0xFF;
    s[21] = 0xFB;
    FrameWalker walker(s);
    ASSERT_TRUE(walker.resync());
    EXPECT_EQ(walker.position(), 20u);
    EXPECT_FALSE(walker.resync());  // nothing more: the walk ends
}

TEST(Id3Tags, VersionTwoSizesAreSynchsafe) {
    // Size bytes 0x00 0x00 0x02 0x01 read as 257.
    const uint8_t v3[10] = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
    EXPECT_EQ(id3v2TagLength(v3, 10), 267u);
    // Version 2.4: a footer adds 10 bytes.
    const uint8_t v4[10] = {'I', 'D', '3', 4, 0, 0x10, 0x00, 0x00, 0x02, 0x01};
    EXPECT_EQ(id3v2TagLength(v4, 10), 277u);
    // Top bits of the size bytes do not count; a short or foreign header is no tag.
    const uint8_t high[10] = {'I', 'D', '3', 3, 0, 0, 0x80, 0x80, 0x82, 0x81};
    EXPECT_EQ(id3v2TagLength(high, 10), 267u);
    EXPECT_EQ(id3v2TagLength(v3, 9), 0u);
    const uint8_t none[10] = {'I', 'D', '4', 3, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(id3v2TagLength(none, 10), 0u);
    // A file shorter than a version 1 tag has none.
    const uint8_t tag[128] = {'T', 'A', 'G'};
    EXPECT_TRUE(endsWithId3v1(tag, 128, 128));
    EXPECT_FALSE(endsWithId3v1(tag, 128, 127));
}

}  // namespace
}  // namespace kivo
