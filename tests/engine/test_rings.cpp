// The rings' reservation protocol: the wrap through the spill area, the end flag, markers, and
// a producer and consumer on two threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "byte_ring.h"
#include "marker_ring.h"

namespace kivo {
namespace {

constexpr uint32_t kSize = 65536;
constexpr uint32_t kSpill = 8192;

// Writes n bytes counting up from `first` (mod 256) and commits them.
void writeCounting(ByteRing& ring, uint32_t n, uint32_t first = 0) {
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveWrite(n, &span), kStageOk);
    for (uint32_t i = 0; i < n; ++i) span[i] = static_cast<uint8_t>(first + i);
    ASSERT_EQ(ring.commitWrite(n), kStageOk);
}

void consume(ByteRing& ring, uint32_t n) {
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveRead(n, &span), kStageOk);
    ASSERT_EQ(ring.commitRead(n), kStageOk);
}

TEST(ByteRing, EmptyRingTakesAtMostItsSizeInOneWrite) {
    ByteRing ring(kSize, kSpill);
    uint8_t* span = nullptr;
    // A span longer than the ring would wrap onto its own first bytes.
    EXPECT_EQ(ring.reserveWrite(kSize + kSpill, &span), kNoSpace);
    EXPECT_EQ(ring.reserveWrite(kSize + 1, &span), kNoSpace);
    ASSERT_EQ(ring.reserveWrite(kSize, &span), kStageOk);
    ASSERT_EQ(ring.commitWrite(kSize), kStageOk);
    EXPECT_EQ(ring.filled(), kSize);
    EXPECT_EQ(ring.reserveWrite(1, &span), kNoSpace);  // full
}

TEST(ByteRing, EmptyRingNearItsEndReachesIntoTheSpillArea) {
    ByteRing ring(kSize, kSpill);
    writeCounting(ring, 60000);
    consume(ring, 60000);
    uint8_t* span = nullptr;
    EXPECT_EQ(ring.reserveWrite(kSize + kSpill - 60000 + 1, &span), kNoSpace);
    writeCounting(ring, kSize + kSpill - 60000, 7);
    ASSERT_EQ(ring.reserveRead(kSize + kSpill - 60000, &span), kStageOk);
    for (uint32_t i = 0; i < kSize + kSpill - 60000; ++i) {
        ASSERT_EQ(span[i], static_cast<uint8_t>(7 + i)) << i;
    }
}

TEST(ByteRing, WriteAcrossTheEndLandsInTheSpillAndAtTheStart) {
    ByteRing ring(kSize, kSpill);
    writeCounting(ring, 60000);
    consume(ring, 60000);
    writeCounting(ring, 8192, 0);
    uint32_t w = 0;
    ASSERT_EQ(ring.writeIndex(&w), kStageOk);
    EXPECT_EQ(w, 2656u);
    // The 2656 bytes past the end now also stand at the start: a write there must not clobber
    // them, and a read across the end sees them in order.
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveRead(8192, &span), kStageOk);
    for (uint32_t i = 0; i < 8192; ++i) ASSERT_EQ(span[i], static_cast<uint8_t>(i)) << i;
    ASSERT_EQ(ring.commitRead(5536), kStageOk);  // up to the end of the ring
    uint32_t r = 0;
    ASSERT_EQ(ring.readIndex(&r), kStageOk);
    EXPECT_EQ(r, 0u);
    ASSERT_EQ(ring.reserveRead(2656, &span), kStageOk);
    for (uint32_t i = 0; i < 2656; ++i) ASSERT_EQ(span[i], static_cast<uint8_t>(5536 + i)) << i;
}

TEST(ByteRing, ReadAcrossTheEndIsMadeContiguousInTheSpillArea) {
    ByteRing ring(kSize, kSpill);
    writeCounting(ring, kSize - 536);
    consume(ring, kSize - 536);
    writeCounting(ring, 536, 100);         // the last 536 bytes of the ring
    writeCounting(ring, 4000, 100 + 536);  // wrapped to the start
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveRead(1441, &span), kStageOk);
    for (uint32_t i = 0; i < 1441; ++i) ASSERT_EQ(span[i], static_cast<uint8_t>(100 + i)) << i;
    // Consuming nothing leaves the data where it was.
    ASSERT_EQ(ring.commitRead(0), kStageOk);
    EXPECT_EQ(ring.filled(), 4536u);
    ASSERT_EQ(ring.reserveRead(4536, &span), kStageOk);
    EXPECT_EQ(span[4535], static_cast<uint8_t>(100 + 4535));
}

TEST(ByteRing, EndFlagAnswersEndOfStreamOnlyForLongerReads) {
    ByteRing ring(kSize, kSpill);
    writeCounting(ring, 1000);
    uint8_t* span = nullptr;
    EXPECT_EQ(ring.reserveRead(1441, &span), kNotEnoughData);
    ring.setEnd(true);
    EXPECT_EQ(ring.reserveRead(1441, &span), kEndOfStream);
    EXPECT_EQ(ring.reserveRead(1000, &span), kStageOk);
    ring.commitRead(1000);
    EXPECT_EQ(ring.reserveRead(1, &span), kEndOfStream);
    EXPECT_EQ(ring.reset(), kStageOk);
    EXPECT_FALSE(ring.end());
    EXPECT_EQ(ring.reserveRead(1, &span), kNotEnoughData);
}

TEST(ByteRing, ResetWaitsForTheOpenReservation) {
    ByteRing ring(kSize, kSpill);
    writeCounting(ring, 5000);
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveWrite(100, &span), kStageOk);
    std::atomic<bool> done{false};
    std::thread resetter([&] {
        EXPECT_EQ(ring.reset(), kStageOk);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(done);
    ring.commitWrite(100);
    resetter.join();
    EXPECT_EQ(ring.filled(), 0u);
}

TEST(ByteRing, ClosingEndsWaitsAndRefusesEverything) {
    ByteRing ring(kSize, kSpill);
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveRead(0, &span), kStageOk);  // an open read reservation
    std::thread resetter([&] { EXPECT_EQ(ring.reset(), kClosed); });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ring.close();
    resetter.join();
    EXPECT_EQ(ring.reserveWrite(1, &span), kClosed);
    EXPECT_EQ(ring.reserveRead(1, &span), kClosed);
    uint32_t index = 0;
    EXPECT_EQ(ring.readIndex(&index), kClosed);
}

TEST(ByteRing, ResizeKeepsTheContentOnlyBeforeReading) {
    ByteRing ring(64512, 0);
    writeCounting(ring, 3000, 5);
    EXPECT_EQ(ring.resize(2999, 0), kNoSpace);
    ASSERT_EQ(ring.resize(524160, 0), kStageOk);
    EXPECT_EQ(ring.size(), 524160u);
    uint32_t w = 0;
    ASSERT_EQ(ring.writeIndex(&w), kStageOk);
    EXPECT_EQ(w, 3000u);
    uint8_t* span = nullptr;
    ASSERT_EQ(ring.reserveRead(3000, &span), kStageOk);
    EXPECT_EQ(span[0], 5);
    EXPECT_EQ(span[2999], static_cast<uint8_t>(5 + 2999));
    ring.commitRead(10);
    EXPECT_EQ(ring.resize(600000, 0), kReadingBegun);
}

TEST(ByteRing, ProducerAndConsumerOnTwoThreadsPassEveryByteInOrder) {
    ByteRing ring(kSize, kSpill);
    constexpr uint32_t kTotal = 3'000'000;
    std::thread producer([&] {
        std::mt19937 random(1);
        uint32_t sent = 0;
        while (sent < kTotal) {
            const uint32_t n = std::min<uint32_t>(1 + random() % 8192, kTotal - sent);
            uint8_t* span = nullptr;
            if (ring.reserveWrite(n, &span) != kStageOk) {
                std::this_thread::yield();
                continue;
            }
            for (uint32_t i = 0; i < n; ++i) span[i] = static_cast<uint8_t>((sent + i) * 7);
            ring.commitWrite(n);
            sent += n;
        }
        ring.setEnd(true);
    });
    std::mt19937 random(2);
    uint32_t received = 0;
    for (;;) {
        const uint32_t n = 1 + random() % 1441;
        uint8_t* span = nullptr;
        const StageResult r = ring.reserveRead(n, &span);
        if (r == kEndOfStream) {
            const uint32_t rest = ring.filled();
            if (rest == 0) break;
            ASSERT_EQ(ring.reserveRead(rest, &span), kStageOk);
            for (uint32_t i = 0; i < rest; ++i) {
                ASSERT_EQ(span[i], static_cast<uint8_t>((received + i) * 7));
            }
            ring.commitRead(rest);
            received += rest;
            continue;
        }
        if (r != kStageOk) {
            std::this_thread::yield();
            continue;
        }
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_EQ(span[i], static_cast<uint8_t>((received + i) * 7)) << received + i;
        }
        // Consume a part of what was looked at, as the decoder does with a frame.
        const uint32_t used = 1 + random() % n;
        ring.commitRead(used);
        received += used;
    }
    producer.join();
    EXPECT_EQ(received, kTotal);
}

TEST(MarkerRing, ReadUpToAMarkerIsGrantedAndPastItRefused) {
    MarkerRing ring(64512, 0);
    writeCounting(ring, 4608);
    ASSERT_EQ(ring.postMarker(std::make_unique<StageMessage>(kEndOfStreamMarker)), kStageOk);
    writeCounting(ring, 4608);
    uint8_t* span = nullptr;
    EXPECT_EQ(ring.reserveRead(4609, &span), kMarkerDue);
    // The block that ends exactly at the marker is readable: nothing before a marker is lost.
    ASSERT_EQ(ring.reserveRead(4608, &span), kStageOk);
    ring.commitRead(4608);
    // At the marker itself every read is refused until the marker is taken.
    EXPECT_EQ(ring.reserveRead(1, &span), kMarkerDue);
    StageMessagePtr marker = ring.takeFirstMarker();
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->code(), kEndOfStreamMarker);
    EXPECT_FALSE(ring.takeFirstMarker());
    EXPECT_EQ(ring.reserveRead(4608, &span), kStageOk);
}

TEST(MarkerRing, MarkerBehindTheWrapIsMeasuredAcrossIt) {
    MarkerRing ring(9216, 0);
    writeCounting(ring, 4608);
    consume(ring, 4608);
    writeCounting(ring, 4608);  // up to the end; the write index wraps to 0
    writeCounting(ring, 1152);
    ASSERT_EQ(ring.postMarker(std::make_unique<FormatMessage>(OutputFormat{})), kStageOk);
    uint8_t* span = nullptr;
    EXPECT_EQ(ring.reserveRead(4608 + 1152 + 1, &span), kMarkerDue);
    EXPECT_EQ(ring.reserveRead(4608 + 1152, &span), kStageOk);
    ring.commitRead(0);
    // Markers still in the ring are freed with it.

    // Posted into a full ring, a marker stands where the reader is, but a whole ring ahead:
    // a producer that keeps the ring full posts the end of a long song there.
    MarkerRing full(9216, 0);
    writeCounting(full, 9216);
    ASSERT_EQ(full.postMarker(std::make_unique<StageMessage>(kEndOfStreamMarker)), kStageOk);
    EXPECT_EQ(full.bytesBeforeMarker(), 9216u);
    ASSERT_EQ(full.reserveRead(9216, &span), kStageOk);
    full.commitRead(9216);
    EXPECT_EQ(full.reserveRead(1, &span), kMarkerDue);
}

TEST(MarkerRing, EmptyRingWithAMarkerRefusesEveryRead) {
    MarkerRing ring(64512, 0);
    ASSERT_EQ(ring.postMarker(std::make_unique<FormatMessage>(OutputFormat{})), kStageOk);
    writeCounting(ring, 4608);
    uint8_t* span = nullptr;
    EXPECT_EQ(ring.reserveRead(4608, &span), kMarkerDue);
    StageMessagePtr format = ring.takeFirstMarker();
    ASSERT_TRUE(format);
    EXPECT_EQ(format->code(), kFormatMarker);
    EXPECT_EQ(ring.reserveRead(4608, &span), kStageOk);
}

}  // namespace
}  // namespace kivo
