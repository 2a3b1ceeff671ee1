// The decoder stage over a real file source and the stand-in decoder: the stream search, every
// complete frame decoded up to the end, resync, the start seek, Xing, and where the song stands.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "decoder_stage.h"
#include "engine_test_support.h"
#include "player_entry.h"
#include "source_stage.h"

namespace kivo {
namespace {

using test::FakeDecoder;
using test::FrameKind;
using test::RecordingOwner;
using test::ScratchFolder;

struct Outcome {
    bool sawFormat = false;
    OutputFormat format;           // the last one
    std::vector<int> sampleRates;  // of every Format marker
    std::vector<int> serials;      // one per block, in ring order
    bool endOfStream = false;
    std::vector<int32_t> reports;  // what the stages posted to their owner
    std::vector<SongPosition> positions;
    size_t blocksBeforePosition = 0;  // blocks read before the first Position marker
};

// Plays the part of the output stage: takes markers when they are due, reads every block.
Outcome runDecoder(const std::string& path, int32_t startPercent = 0) {
    Outcome outcome;
    RecordingOwner owner;
    {
        SourceStage source(&owner);
        DecoderStage decoder(&owner, std::make_unique<mpeg::OpsDecoder>(FakeDecoder::ops()));
        decoder.setSource(&source);
        source.setPath(path.c_str());
        ByteRing* input = nullptr;
        MarkerRing* pcm = nullptr;
        if (source.start(&input) == kStageOk && decoder.open(input, &pcm) == kStageOk) {
            source.setConsumer(&decoder);
            decoder.setStartPercent(startPercent);
            decoder.kick();
            uint32_t block = 1;
            test::waitFor([&] {
                uint8_t* span = nullptr;
                switch (pcm->reserveRead(block, &span)) {
                    case kStageOk:
                        outcome.serials.push_back(span[0] | (span[1] << 8));
                        pcm->commitRead(block);
                        decoder.kick();
                        return false;
                    case kMarkerDue: {
                        StageMessagePtr marker = pcm->takeFirstMarker();
                        if (marker->code() == kEndOfStreamMarker) {
                            outcome.endOfStream = true;
                            return true;
                        }
                        if (marker->code() == kPositionMarker) {
                            if (outcome.positions.empty()) {
                                outcome.blocksBeforePosition = outcome.serials.size();
                            }
                            outcome.positions.push_back(
                                static_cast<PositionMessage&>(*marker).position());
                            return false;
                        }
                        outcome.sawFormat = true;
                        outcome.format = static_cast<FormatMessage&>(*marker).format();
                        outcome.sampleRates.push_back(outcome.format.sampleRate);
                        block = static_cast<uint32_t>(outcome.format.blockBytes);
                        return false;
                    }
                    default:
                        decoder.kick();
                        return !owner.codes().empty();
                }
            });
        }
        source.setConsumer(nullptr);
    }
    outcome.reports = owner.codes();
    return outcome;
}

std::vector<uint8_t> xingFrame(int serial, uint32_t flags, uint32_t frameCount,
                               const std::array<uint8_t, 100>& toc) {
    std::vector<uint8_t> frame;
    test::appendFrame(frame, serial);
    uint8_t* at = frame.data() + 36;  // MPEG-1 with two channels
    auto put32 = [&](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) *at++ = static_cast<uint8_t>(v >> shift);
    };
    std::memcpy(at, "Xing", 4);
    at += 4;
    put32(flags);
    if (flags & 1) put32(frameCount);
    if (flags & 2) put32(static_cast<uint32_t>(frame.size()) * frameCount);
    if (flags & 4) {
        std::memcpy(at, toc.data(), 100);
        at += 100;
    }
    return frame;
}

TEST(DecoderStage, EveryCompleteFrameIsDecodedUpToTheLast) {
    ScratchFolder folder;
    // Lengths around the look-ahead and the frame span, so the end falls at every distance.
    for (int count : {3, 4, 10, 11, 50, 157}) {
        const Outcome out = runDecoder(folder.file("cbr.mp3", test::frames(count)));
        ASSERT_TRUE(out.sawFormat) << count;
        EXPECT_EQ(out.format.blockBytes, 4608);
        EXPECT_EQ(out.format.samplesPerBlock, 1152);
        EXPECT_EQ(out.format.sampleRate, 44100);
        EXPECT_EQ(out.serials, test::range(0, count)) << count;
        EXPECT_TRUE(out.endOfStream);
        EXPECT_TRUE(out.reports.empty());
    }
}

TEST(DecoderStage, CutOffLastFrameAndTrailingTagAreNotDecoded) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = test::frames(20);
    bytes.resize(bytes.size() - 100);  // the last frame is cut off
    Outcome out = runDecoder(folder.file("cut.mp3", bytes));
    EXPECT_EQ(out.serials, test::range(0, 19));
    EXPECT_TRUE(out.endOfStream);

    bytes = test::frames(20);
    std::vector<uint8_t> tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    tag[60] = 0xFF;  // a stray sync-like byte inside the tag
    tag[61] = 0xFB;
    test::appendBytes(bytes, tag);
    out = runDecoder(folder.file("tagged.mp3", bytes));
    EXPECT_EQ(out.serials, test::range(0, 20));
    EXPECT_TRUE(out.endOfStream);
}

TEST(DecoderStage, FilesWithoutThreeConsistentFramesAreRefused) {
    ScratchFolder folder;
    // Two frames are not a stream, however short the file.
    Outcome out = runDecoder(folder.file("two.mp3", test::frames(2)));
    EXPECT_TRUE(out.serials.empty());
    EXPECT_FALSE(out.endOfStream);
    EXPECT_EQ(out.reports, std::vector<int32_t>{kStageFailed});
    // Layer I is never accepted.
    out = runDecoder(folder.file("layer1.mp3", test::frames(100, test::kLayer1)));
    EXPECT_TRUE(out.serials.empty());
    EXPECT_EQ(out.reports, std::vector<int32_t>{kStageFailed});
    // No sync at all.
    out = runDecoder(folder.file("text.mp3", std::vector<uint8_t>(50000, 'a')));
    EXPECT_EQ(out.reports, std::vector<int32_t>{kStageFailed});
}

// An ID3v2.3 tag of `size` bytes after its header, its body (a picture, say) full of bytes
// that look like frame syncs.
std::vector<uint8_t> syncLikeTag(uint32_t size) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back((size >> shift) & 0x7F);
    for (uint32_t i = 0; i < size; ++i) tag.push_back(i % 5 == 0 ? 0xFF : 0xF0 + i % 11);
    return tag;
}

TEST(DecoderStage, AStreamBehindJunkManyFalseSyncsOrATagWrittenTwiceIsFound) {
    ScratchFolder folder;
    std::vector<uint8_t> junk(65536, 0x11);
    for (size_t at = 100; at < 100 * 41; at += 100) {
        junk[at] = 0xFF;
        junk[at + 1] = 0xFB;
    }
    test::appendBytes(junk, test::frames(30));
    EXPECT_EQ(runDecoder(folder.file("junk.mp3", junk)).serials, test::range(0, 30));
    std::vector<uint8_t> twice = syncLikeTag(300000);
    test::appendBytes(twice, syncLikeTag(300000));
    test::appendBytes(twice, test::frames(30));
    EXPECT_EQ(runDecoder(folder.file("twice.mp3", twice)).serials, test::range(0, 30));
}

TEST(DecoderStage, EndlessDataWithoutAFrameIsGivenUp) {
    ScratchFolder folder;
    const std::string sparse = folder.file("sparse.mp3", {});
    std::filesystem::resize_file(sparse, uint64_t{2} << 30);
    for (const std::string& path : {sparse, std::string("/dev/zero")}) {
        const Outcome out = runDecoder(path);
        EXPECT_EQ(out.reports, std::vector<int32_t>{kStageFailed}) << path;
    }
}

TEST(DecoderStage, MixedRatesAtTheStartAreSteppedOver) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes;
    test::appendFrame(bytes, 900, test::kLayer3At48k);
    test::appendFrame(bytes, 901, test::kLayer3At48k);
    test::appendBytes(bytes, test::frames(30));
    const Outcome out = runDecoder(folder.file("mixed.mp3", bytes));
    ASSERT_TRUE(out.sawFormat);
    EXPECT_EQ(out.format.sampleRate, 44100);
    // Decoding starts where the accepted search began.
    ASSERT_FALSE(out.serials.empty());
    EXPECT_EQ(std::vector<int>(out.serials.end() - 30, out.serials.end()), test::range(0, 30));
}

TEST(DecoderStage, FilesJoinedEndToEndPlayOnInTheFormatOfEach) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = test::frames(20);
    test::appendBytes(bytes, test::frames(20, test::kLayer3At48k, 20));
    test::appendBytes(bytes, test::frames(20, test::kLayer2Mpeg2, 40));
    const Outcome out = runDecoder(folder.file("joined.mp3", bytes));
    EXPECT_EQ(out.serials, test::range(0, 60));
    EXPECT_EQ(out.sampleRates, (std::vector<int>{44100, 48000, 22050}));
    EXPECT_TRUE(out.reports.empty());
    // Small blocks first, then blocks twice their size from a write position between two of
    // the larger ones.
    bytes = test::frames(21, test::kLayer2Mpeg2);
    test::appendBytes(bytes, test::frames(20, {}, 21));
    const Outcome growing = runDecoder(folder.file("growing.mp3", bytes));
    EXPECT_EQ(growing.serials, test::range(0, 41));
    EXPECT_EQ(growing.sampleRates, (std::vector<int>{22050, 44100}));
    // A lone frame of another rate inside a stream is damage, stepped over.
    bytes = test::frames(10);
    test::appendFrame(bytes, 10, test::kLayer3At48k);
    test::appendBytes(bytes, test::frames(10, {}, 11));
    const Outcome damaged = runDecoder(folder.file("odd.mp3", bytes));
    EXPECT_EQ(damaged.sampleRates, std::vector<int>{44100});
    EXPECT_EQ(damaged.serials.size(), 20u);
}

TEST(DecoderStage, DamagedFrameCostsOneResyncAndPlaybackGoesOn) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = test::frames(40);
    std::vector<uint8_t> garbage(700, 0x11);
    garbage[300] = 0xFF;  // a false sync the decoder refuses
    garbage[301] = 0xF3;
    bytes.insert(bytes.begin() + 20 * 417, garbage.begin(), garbage.end());
    FakeDecoder::resetCounts();
    const Outcome out = runDecoder(folder.file("damaged.mp3", bytes));
    EXPECT_EQ(out.serials, test::range(0, 40));
    EXPECT_TRUE(out.endOfStream);
    EXPECT_GE(FakeDecoder::inits, 2);  // initialised again after the damage
}

TEST(DecoderStage, BlockSizeFollowsWhatTheDecoderWritesPerFrame) {
    ScratchFolder folder;
    // Layer II at a low sampling frequency still gives 1152 samples per frame.
    const Outcome out = runDecoder(folder.file("l2.mp3", test::frames(12, test::kLayer2Mpeg2)));
    ASSERT_TRUE(out.sawFormat);
    EXPECT_EQ(out.format.channels, 1);
    EXPECT_EQ(out.format.sampleRate, 22050);
    EXPECT_EQ(out.format.samplesPerBlock, 1152);
    EXPECT_EQ(out.format.blockBytes, 2304);
    EXPECT_EQ(out.serials, test::range(0, 12));
}

TEST(DecoderStage, ThePositionOfTheSongStandsBeforeItsFirstBlock) {
    ScratchFolder folder;
    const Outcome out = runDecoder(folder.file("long.mp3", test::frames(400)));
    ASSERT_EQ(out.serials.size(), 400u);
    ASSERT_FALSE(out.positions.empty());
    EXPECT_EQ(out.blocksBeforePosition, 0u);
    EXPECT_EQ(out.positions[0].frame, 0);
    EXPECT_EQ(out.positions[0].totalFrames, 400);
    EXPECT_FALSE(out.positions[0].reckonedAgain);
    // Without a frame count in the file the length is reckoned again as frames are decoded,
    // and at the end the frames counted give it.
    EXPECT_TRUE(out.positions.back().reckonedAgain);
    EXPECT_EQ(out.positions.back().frame, 400);
    EXPECT_EQ(out.positions.back().totalFrames, 400);
}

TEST(DecoderStage, StartPercentageSeeksByTheConstantBitrate) {
    ScratchFolder folder;
    const std::string path = folder.file("cbr.mp3", test::frames(200));
    Outcome out = runDecoder(path, 50);
    EXPECT_EQ(out.serials, test::range(100, 200));
    ASSERT_FALSE(out.positions.empty());
    EXPECT_EQ(out.positions[0].frame, 100);
    // Beyond 100 counts as 100: nothing is left to play, the stream still ends properly.
    out = runDecoder(path, 150);
    EXPECT_TRUE(out.serials.empty());
    EXPECT_TRUE(out.endOfStream);
    EXPECT_TRUE(out.reports.empty());
}

TEST(DecoderStage, NegativeStartSeeksToTheFirstByteAndStepsOverTheTag) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes(10 + 600, 0x22);
    const uint8_t header[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x04, 0x58};  // 600 bytes
    std::memcpy(bytes.data(), header, 10);
    bytes[200] = 0xFF;  // a sync-like pair inside the tag
    bytes[201] = 0xFB;
    test::appendBytes(bytes, test::frames(30));
    const Outcome out = runDecoder(folder.file("tagged.mp3", bytes), -3);
    EXPECT_EQ(out.serials, test::range(0, 30));
}

TEST(DecoderStage, LargeId3v24TagWithSyncLikeBytesIsSteppedOver) {
    ScratchFolder folder;
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(10 + 120000);
    for (size_t i = 10; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
    const uint32_t size = 120000;
    const uint8_t header[10] = {'I',
                                'D',
                                '3',
                                4,
                                0,
                                0,
                                static_cast<uint8_t>(size >> 21 & 0x7F),
                                static_cast<uint8_t>(size >> 14 & 0x7F),
                                static_cast<uint8_t>(size >> 7 & 0x7F),
                                static_cast<uint8_t>(size & 0x7F)};
    std::memcpy(bytes.data(), header, 10);
    test::appendBytes(bytes, test::frames(50));
    const Outcome out = runDecoder(folder.file("v24.mp3", bytes));
    EXPECT_TRUE(out.reports.empty());
    ASSERT_GE(out.serials.size(), 50u);
    EXPECT_EQ(std::vector<int>(out.serials.end() - 50, out.serials.end()), test::range(0, 50));
}

TEST(DecoderStage, XingFrameCountAndTableOfContentsAreUsed) {
    ScratchFolder folder;
    std::array<uint8_t, 100> toc{};
    for (int i = 0; i < 100; ++i) toc[i] = static_cast<uint8_t>(i * 256 / 100);
    // The header claims twice the frames there are: progress follows the header's count.
    std::vector<uint8_t> bytes = xingFrame(0, 1 | 2 | 4, 400, toc);
    test::appendBytes(bytes, test::frames(199, {}, 1));
    const std::string path = folder.file("xing.mp3", bytes);
    // The Xing frame itself holds no sound and is not played.
    Outcome out = runDecoder(path);
    EXPECT_EQ(out.serials, test::range(1, 200));
    ASSERT_EQ(out.positions.size(), 1u);
    EXPECT_EQ(out.positions[0].totalFrames, 400);
    // 50 % by the table: byte 128/256 of the file, frame 100 (after a resync from mid-frame).
    out = runDecoder(path, 50);
    ASSERT_FALSE(out.serials.empty());
    EXPECT_GE(out.serials.front(), 100);
    EXPECT_LE(out.serials.front(), 101);
    EXPECT_EQ(out.serials.back(), 199);
    ASSERT_EQ(out.positions.size(), 1u);
    EXPECT_EQ(out.positions[0].frame, 200);  // of 400
}

TEST(DecoderStage, XingWithoutCountOrTableFallsBackToTheFileSize) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = xingFrame(0, 0, 0, {});
    test::appendBytes(bytes, test::frames(199, {}, 1));
    const std::string path = folder.file("bare-xing.mp3", bytes);
    Outcome out = runDecoder(path);
    EXPECT_EQ(out.serials.size(), 199u);
    ASSERT_FALSE(out.positions.empty());
    EXPECT_EQ(out.positions[0].totalFrames, 200);
    out = runDecoder(path, 25);
    EXPECT_EQ(out.serials, test::range(50, 200));
    ASSERT_FALSE(out.positions.empty());
    EXPECT_EQ(out.positions[0].frame, 50);
}

}  // namespace
}  // namespace kivo
