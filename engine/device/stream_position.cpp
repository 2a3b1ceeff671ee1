#include "device/stream_position.h"

#include <algorithm>

namespace kivo::device {

void StreamPosition::start(unsigned rate, uint32_t frameBytes) {
    *this = StreamPosition{};
    rate_ = rate;
    frameBytes_ = frameBytes;
    silentTick_ = Clock::now();
}

void StreamPosition::handedOver(const DeviceBuffer* buffer, uint64_t frames) {
    const uint64_t left = framesLeft(buffer);
    written_ += frames;
    writeOffset_ += static_cast<uint32_t>(frames) * frameBytes_;
    if (frames < left) return;
    ends_.push_back(written_);
    ++writeIndex_;
    writeOffset_ = 0;
}

void StreamPosition::pendingAre(uint64_t pending) {
    played_ = std::max(played_, written_ - std::min(pending, written_));
}

void StreamPosition::goSilent() {
    if (silent_) return;
    silent_ = true;
    silentPlayed_ = static_cast<double>(played_);
    silentTick_ = Clock::now();
}

void StreamPosition::runSilently() {
    const auto now = Clock::now();
    silentPlayed_ += std::chrono::duration<double>(now - silentTick_).count() * rate_;
    silentTick_ = now;
    silentPlayed_ = std::min(silentPlayed_, static_cast<double>(written_));
    played_ = std::max(played_, static_cast<uint64_t>(silentPlayed_));
}

size_t StreamPosition::takeHeard() {
    size_t count = 0;
    while (count < ends_.size() && ends_[count] <= played_) ++count;
    ends_.erase(ends_.begin(), ends_.begin() + static_cast<ptrdiff_t>(count));
    writeIndex_ -= count;
    return count;
}

void StreamPosition::dropUnheard() {
    rewindToHeard(nullptr);
}

void StreamPosition::rewindToHeard(const DeviceBuffer* oldest) {
    // Everything before `played_` has been reported or lies in the oldest buffer.
    uint64_t start = written_;
    if (oldest) {
        start = ends_.empty() ? written_ - writeOffset_ / frameBytes_
                              : ends_.front() - framesOf(oldest);
    }
    writeOffset_ = played_ > start ? static_cast<uint32_t>(played_ - start) * frameBytes_ : 0;
    written_ = played_;
    ends_.clear();
    writeIndex_ = 0;
    silentPlayed_ = static_cast<double>(played_);
    silentTick_ = Clock::now();
}

void StreamPosition::restartAt(uint64_t written) {
    played_ = std::min(played_, written);
    written_ = played_;
    dropUnheard();
    written_ = written;
}

uint64_t StreamPosition::millisToOldestEnd() const {
    const uint64_t end = ends_.empty() ? written_ : ends_.front();
    const uint64_t left = end > played_ ? end - played_ : 0;
    return left * 1000 / rate_;
}

}  // namespace kivo::device
