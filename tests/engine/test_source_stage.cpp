// The file source: tag measuring and skipping, open errors, and seeks that never mix bytes
// from before the seek into the ring.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "engine_test_support.h"
#include "source_stage.h"

namespace kivo {
namespace {

using test::RecordingOwner;
using test::ScratchFolder;

std::vector<uint8_t> counting(size_t n, size_t from = 0) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((from + i) * 13 + 1);
    return bytes;
}

// Everything the source puts into its ring until the end flag, read the way the decoder reads.
std::vector<uint8_t> drainRing(SourceStage& source, ByteRing& ring) {
    std::vector<uint8_t> got;
    source.kick();
    const bool ended = test::waitFor([&] {
        uint8_t* span = nullptr;
        const uint32_t n = std::min<uint32_t>(ring.filled(), 1000);
        if (n > 0 && ring.reserveRead(n, &span) == kStageOk) {
            got.insert(got.end(), span, span + n);
            ring.commitRead(n);
            source.kick();
            return false;
        }
        return ring.end() && ring.filled() == 0;
    });
    EXPECT_TRUE(ended);
    return got;
}

struct OpenedSource {
    RecordingOwner owner;
    SourceStage source{&owner};
    ByteRing* ring = nullptr;
    StageResult result = kStageOk;

    explicit OpenedSource(const std::string& path) {
        source.setPath(path.c_str());
        result = source.start(&ring);
    }
    uint32_t audioSize() {
        uint32_t size = 0;
        EXPECT_EQ(source.size(&size), kStageOk);
        return size;
    }
};

TEST(SourceStage, TrailingId3v1IsLeftOutOfTheSizeButStillRead) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = counting(20000);
    const std::vector<uint8_t> tag = [] {
        std::vector<uint8_t> t(128, 'x');
        std::memcpy(t.data(), "TAG", 3);
        return t;
    }();
    test::appendBytes(bytes, tag);
    OpenedSource opened(folder.file("tagged.mp3", bytes));
    ASSERT_EQ(opened.result, kStageOk);
    EXPECT_EQ(opened.audioSize(), 20000u);
    EXPECT_EQ(drainRing(opened.source, *opened.ring), bytes);
}

TEST(SourceStage, SizeOfShortAndUntaggedFiles) {
    ScratchFolder folder;
    OpenedSource plain(folder.file("plain.mp3", counting(5000)));
    EXPECT_EQ(plain.audioSize(), 5000u);
    // Too short for a trailing tag, even one that starts with the letters.
    std::vector<uint8_t> short_ = counting(100);
    std::memcpy(short_.data(), "TAG", 3);
    OpenedSource tiny(folder.file("tiny.mp3", short_));
    EXPECT_EQ(tiny.audioSize(), 100u);
    EXPECT_EQ(drainRing(tiny.source, *tiny.ring), short_);
}

TEST(SourceStage, Id3v23TagIsSkippedByItsSynchsafeSize) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = counting(10000);
    const uint8_t header[10] = {'I', 'D', '3', 3, 0, 0x40, 0x00, 0x00, 0x02, 0x01};
    std::memcpy(bytes.data(), header, 10);  // synchsafe 257: audio begins at 267
    OpenedSource opened(folder.file("v23.mp3", bytes));
    const std::vector<uint8_t> got = drainRing(opened.source, *opened.ring);
    EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 267, bytes.end()));
}

TEST(SourceStage, OtherId3v2VersionsAreSkippedWhole) {
    ScratchFolder folder;
    std::vector<uint8_t> bytes = counting(10000);
    const uint8_t v22[10] = {'I', 'D', '3', 2, 0, 0, 0x00, 0x00, 0x02, 0x01};
    std::memcpy(bytes.data(), v22, 10);
    OpenedSource older(folder.file("v22.mp3", bytes));
    EXPECT_EQ(drainRing(older.source, *older.ring),
              std::vector<uint8_t>(bytes.begin() + 267, bytes.end()));
    // Version 2.4 with a footer: ten more bytes.
    const uint8_t v24[10] = {'I', 'D', '3', 4, 0, 0x10, 0x00, 0x00, 0x02, 0x01};
    std::memcpy(bytes.data(), v24, 10);
    OpenedSource newer(folder.file("v24.mp3", bytes));
    EXPECT_EQ(drainRing(newer.source, *newer.ring),
              std::vector<uint8_t>(bytes.begin() + 277, bytes.end()));
}

TEST(SourceStage, TheAudioLiesBetweenTheTagsAndSeeksCountFromItsStart) {
    // A tag written twice in front (the first with a large picture), an APE tag and an ID3v1
    // tag behind.
    ScratchFolder folder;
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0x00, 0x40, 0x00, 0x00};  // 1 MB
    bytes.resize(10 + (1 << 20), 0xFF);
    const std::vector<uint8_t> second = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x01, 0x00};  // 128
    test::appendBytes(bytes, second);
    bytes.resize(bytes.size() + 128, 0xFB);
    const size_t audioStart = bytes.size();
    test::appendBytes(bytes, counting(40000));
    std::vector<uint8_t> ape(32 + 20, 'a');
    const uint8_t footer[32] = {
        'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 7, 0, 0,
        52,  0,   0,   0,   1,   0,   0,   0,   0,    0, 0, 0x80};  // 52 bytes with the footer, a
                                                                    // header
    std::memcpy(ape.data() + 20, footer, 32);
    test::appendBytes(bytes, std::vector<uint8_t>(32, 'h'));  // the APE header
    test::appendBytes(bytes, ape);
    std::vector<uint8_t> v1(128, ' ');
    std::memcpy(v1.data(), "TAG", 3);
    test::appendBytes(bytes, v1);
    OpenedSource opened(folder.file("tagged.mp3", bytes));
    EXPECT_EQ(opened.audioSize(), 40000u);
    int64_t position = 0;
    ASSERT_EQ(opened.source.seek(0, SEEK_SET, &position), kStageOk);
    EXPECT_EQ(position, int64_t(audioStart));
    const std::vector<uint8_t> got = drainRing(opened.source, *opened.ring);
    ASSERT_GE(got.size(), 40000u);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 40000), counting(40000));
}

TEST(SourceStage, FileShorterThanATagHeaderYieldsNothing) {
    ScratchFolder folder;
    OpenedSource opened(folder.file("five.mp3", counting(5)));
    ASSERT_EQ(opened.result, kStageOk);
    EXPECT_TRUE(drainRing(opened.source, *opened.ring).empty());
}

TEST(SourceStage, OpenErrorsAreMappedAndReported) {
    ScratchFolder folder;
    {
        OpenedSource missing(folder.path() + "/missing.mp3");
        EXPECT_EQ(missing.result, kNoSuchFile);
        EXPECT_EQ(missing.owner.codes(), std::vector<int32_t>{kStageFailed});
    }
    {
        OpenedSource directory(folder.path());
        EXPECT_EQ(directory.result, kNotRegularFile);
        EXPECT_EQ(directory.owner.codes(), std::vector<int32_t>{kStageFailed});
    }
#ifndef _WIN32
    if (::geteuid() != 0) {  // the superuser reads anything
        const std::string locked = folder.file("locked.mp3", counting(100));
        ::chmod(locked.c_str(), 0);
        OpenedSource denied(locked);
        EXPECT_EQ(denied.result, kAccessDenied);
    }
#endif
}

TEST(SourceStage, SeekEmptiesTheRingAndReadsOnFromTheNewPlace) {
    ScratchFolder folder;
    const std::vector<uint8_t> bytes = counting(200000);
    OpenedSource opened(folder.file("long.mp3", bytes));
    ByteRing& ring = *opened.ring;
    opened.source.kick();
    ASSERT_TRUE(test::waitFor([&] { return ring.filled() >= 60000; }));
    int64_t position = -1;
    ASSERT_EQ(opened.source.seek(150000, SEEK_SET, &position), kStageOk);
    EXPECT_EQ(position, 150000);
    const std::vector<uint8_t> got = drainRing(opened.source, ring);
    EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 150000, bytes.end()));
    // After the end a seek clears the end flag and the reader goes on.
    ASSERT_EQ(opened.source.seek(199000, SEEK_SET, &position), kStageOk);
    EXPECT_EQ(drainRing(opened.source, ring),
              std::vector<uint8_t>(bytes.begin() + 199000, bytes.end()));
    EXPECT_EQ(opened.source.seek(-5, SEEK_SET, &position), kSeekFailed);
}

// The seek runs on the consumer's thread while the reader may be in the middle of a chunk: the
// bytes after a seek must always be the file's bytes from the new place.
TEST(SourceStage, SeeksDuringReadsNeverLeaveOldBytesInTheRing) {
    ScratchFolder folder;
    const std::vector<uint8_t> bytes = counting(400000);
    OpenedSource opened(folder.file("seeks.mp3", bytes));
    ByteRing& ring = *opened.ring;
    opened.source.kick();
    for (int round = 0; round < 200; ++round) {
        const int64_t offset = (round * 7919) % 390000;
        int64_t position = 0;
        ASSERT_EQ(opened.source.seek(offset, SEEK_SET, &position), kStageOk);
        uint8_t* span = nullptr;
        ASSERT_TRUE(test::waitFor([&] { return ring.reserveRead(4000, &span) == kStageOk; }));
        ASSERT_EQ(std::memcmp(span, bytes.data() + offset, 4000), 0) << "round " << round;
        ring.commitRead(round % 3 == 0 ? 4000 : 0);
        opened.source.kick();
    }
}

}  // namespace
}  // namespace kivo
