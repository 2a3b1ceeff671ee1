// A single-producer, single-consumer byte ring with in-place reservations. The producer
// reserves a contiguous span, fills it and commits; the consumer reserves a contiguous span,
// reads it and commits what it consumed. A spill area behind the ring keeps spans contiguous
// across the wrap: written bytes that land in it are copied to the start of the ring, and a
// read that wraps gets the start of the ring copied into it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "stage_result.h"

namespace kivo {

class ByteRing {
public:
    ByteRing(uint32_t size, uint32_t spill);
    // Closes the ring first; the owner has joined both threads that use it.
    virtual ~ByteRing();
    ByteRing(const ByteRing&) = delete;
    ByteRing& operator=(const ByteRing&) = delete;

    // kStageOk with *span, kNoSpace or kClosed.
    virtual StageResult reserveWrite(uint32_t n, uint8_t** span);
    // Ends the write reservation, keeping its first n bytes (0 keeps nothing).
    virtual StageResult commitWrite(uint32_t n);
    // kStageOk with *span, kNotEnoughData, kEndOfStream, kPastSpill or kClosed.
    virtual StageResult reserveRead(uint32_t n, uint8_t** span);
    // Ends the read reservation, consuming its first n bytes (0 consumes nothing).
    virtual StageResult commitRead(uint32_t n);

    // Empties the ring once no reservation is open; kClosed if it closes meanwhile.
    StageResult reset();
    // Moves the content into new storage; only before reading has begun.
    StageResult resize(uint32_t size, uint32_t spill);
    // The indexes, once no read (write) reservation is open; kClosed if it closes meanwhile.
    StageResult readIndex(uint32_t* index);
    StageResult writeIndex(uint32_t* index);

    void setEnd(bool end);
    bool end() const;
    // Makes every waiting and later operation answer kClosed.
    void close();

    uint32_t size() const;
    uint32_t filled() const;
    // A pointer into the storage at or past the ring's end, moved back to its place inside.
    uint8_t* wrap(uint8_t* p) const;

protected:
    // For derived rings, with mutex_ held.
    StageResult reserveReadLocked(uint32_t n, uint8_t** span);
    // Waits with mutex_ held until the chosen reservations are closed; false when closed.
    bool waitForNoReservation(std::unique_lock<std::mutex>& lock, bool read, bool write);

    mutable std::mutex mutex_;
    uint32_t readIndex_ = 0;
    uint32_t writeIndex_ = 0;
    uint32_t filled_ = 0;
    // Bytes consumed since the ring was made: a read position that does not repeat each lap.
    uint64_t bytesRead_ = 0;
    uint32_t size_;
    bool closed_ = false;

private:
    uint32_t contiguousReadable() const;

    std::condition_variable reservationEnded_;
    uint32_t spill_;
    bool end_ = false;
    uint32_t pendingWrite_ = 0;
    uint32_t pendingRead_ = 0;
    bool writing_ = false;
    bool reading_ = false;
    std::vector<uint8_t> storage_;
};

}  // namespace kivo
