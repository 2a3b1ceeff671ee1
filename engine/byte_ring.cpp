#include "byte_ring.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kivo {

ByteRing::ByteRing(uint32_t size, uint32_t spill)
    : size_(size), spill_(spill), storage_(size_t{size} + spill) {}

ByteRing::~ByteRing() {
    close();
}

void ByteRing::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    reservationEnded_.notify_all();
}

StageResult ByteRing::reserveWrite(uint32_t n, uint8_t** span) {
    std::lock_guard lock(mutex_);
    if (closed_) return kClosed;
    uint32_t space;
    if (readIndex_ < writeIndex_) {
        space = size_ - writeIndex_ + std::min(readIndex_, spill_);
    } else if (readIndex_ > writeIndex_) {
        space = readIndex_ - writeIndex_;
    } else if (filled_ > 0) {
        space = 0;
    } else {
        // An empty ring takes up to its end plus the spill area, but never more than it holds:
        // a longer span would wrap onto its own first bytes.
        space = std::min(size_ + spill_ - writeIndex_, size_);
    }
    if (space < n) return kNoSpace;
    pendingWrite_ = n;
    writing_ = true;
    *span = storage_.data() + writeIndex_;
    return kStageOk;
}

StageResult ByteRing::commitWrite(uint32_t n) {
    {
        std::lock_guard lock(mutex_);
        if (!writing_) return closed_ ? kClosed : kStageOk;
        n = std::min(n, pendingWrite_);
        uint32_t end = writeIndex_ + n;
        if (end > size_) {
            std::memcpy(storage_.data(), storage_.data() + size_, end - size_);
            end -= size_;
        } else if (end == size_) {
            end = 0;
        }
        writeIndex_ = end;
        filled_ += n;
        pendingWrite_ = 0;
        writing_ = false;
    }
    reservationEnded_.notify_all();
    return kStageOk;
}

uint32_t ByteRing::contiguousReadable() const {
    if (writeIndex_ < readIndex_) {
        return size_ - readIndex_ + (spill_ > 0 && writeIndex_ >= spill_ ? spill_ : writeIndex_);
    }
    if (writeIndex_ == readIndex_) return filled_;  // full (or empty: nothing to read)
    return writeIndex_ - readIndex_;
}

StageResult ByteRing::reserveRead(uint32_t n, uint8_t** span) {
    std::lock_guard lock(mutex_);
    return reserveReadLocked(n, span);
}

StageResult ByteRing::reserveReadLocked(uint32_t n, uint8_t** span) {
    if (closed_) return kClosed;
    if (end_ && filled_ < n) return kEndOfStream;
    if (filled_ < n) return kNotEnoughData;
    if (contiguousReadable() < n) return kNotEnoughData;
    if (spill_ > 0 && readIndex_ + n > size_) {
        const uint32_t past = readIndex_ + n - size_;
        if (past > spill_) return kPastSpill;
        std::memcpy(storage_.data() + size_, storage_.data(), past);
    }
    pendingRead_ = n;
    reading_ = true;
    *span = storage_.data() + readIndex_;
    return kStageOk;
}

StageResult ByteRing::commitRead(uint32_t n) {
    {
        std::lock_guard lock(mutex_);
        if (!reading_) return closed_ ? kClosed : kStageOk;
        n = std::min(n, pendingRead_);
        pendingRead_ = 0;
        reading_ = false;
        filled_ -= n;
        readIndex_ = (readIndex_ + n) % size_;
        bytesRead_ += n;
    }
    reservationEnded_.notify_all();
    return kStageOk;
}

bool ByteRing::waitForNoReservation(std::unique_lock<std::mutex>& lock, bool read, bool write) {
    reservationEnded_.wait(lock,
                           [&] { return closed_ || !((read && reading_) || (write && writing_)); });
    return !closed_;
}

StageResult ByteRing::reset() {
    std::unique_lock lock(mutex_);
    if (!waitForNoReservation(lock, true, true)) return kClosed;
    end_ = false;
    readIndex_ = writeIndex_ = filled_ = 0;
    return kStageOk;
}

StageResult ByteRing::resize(uint32_t size, uint32_t spill) {
    std::unique_lock lock(mutex_);
    if (size < filled_) return kNoSpace;
    if (readIndex_ != 0) return kReadingBegun;
    if (!waitForNoReservation(lock, true, true)) return kClosed;
    if (readIndex_ != 0) return kReadingBegun;
    std::vector<uint8_t> storage;
    try {
        storage.resize(size_t{size} + spill);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    // Nothing has been read, so the content lies at offset 0 without a wrap.
    std::memcpy(storage.data(), storage_.data(), filled_);
    storage_.swap(storage);
    size_ = size;
    spill_ = spill;
    writeIndex_ = filled_ == size ? 0 : filled_;
    return kStageOk;
}

StageResult ByteRing::readIndex(uint32_t* index) {
    std::unique_lock lock(mutex_);
    if (!waitForNoReservation(lock, true, false)) return kClosed;
    *index = readIndex_;
    return kStageOk;
}

StageResult ByteRing::writeIndex(uint32_t* index) {
    std::unique_lock lock(mutex_);
    if (!waitForNoReservation(lock, false, true)) return kClosed;
    *index = writeIndex_;
    return kStageOk;
}

void ByteRing::setEnd(bool end) {
    std::lock_guard lock(mutex_);
    end_ = end;
}

bool ByteRing::end() const {
    std::lock_guard lock(mutex_);
    return end_;
}

uint32_t ByteRing::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

uint32_t ByteRing::filled() const {
    std::lock_guard lock(mutex_);
    return filled_;
}

uint8_t* ByteRing::wrap(uint8_t* p) const {
    std::lock_guard lock(mutex_);
    uint8_t* base = const_cast<uint8_t*>(storage_.data());
    return p >= base + size_ ? p - size_ : p;
}

}  // namespace kivo
