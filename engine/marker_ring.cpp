#include "marker_ring.h"

namespace kivo {

MarkerRing::~MarkerRing() = default;

StageResult MarkerRing::reserveRead(uint32_t n, uint8_t** span) {
    std::lock_guard lock(mutex_);
    if (!closed_ && !markers_.empty()) {
        const uint32_t m = markers_.front().position;
        const uint32_t r = readIndex_;
        if (m == r) return kMarkerDue;
        const uint32_t distance = m > r ? m - r : size_ - r + m;
        if (n > distance) return kMarkerDue;
    }
    return reserveReadLocked(n, span);
}

uint32_t MarkerRing::bytesBeforeMarker() const {
    std::lock_guard lock(mutex_);
    if (markers_.empty()) return UINT32_MAX;
    const uint32_t m = markers_.front().position;
    const uint32_t r = readIndex_;
    if (m == r) return 0;
    return m > r ? m - r : size_ - r + m;
}

StageResult MarkerRing::postMarker(StageMessagePtr message) {
    std::unique_lock lock(mutex_);
    if (!waitForNoReservation(lock, false, true)) return kClosed;
    markers_.push_back(Marker{writeIndex_, std::move(message)});
    return kStageOk;
}

StageMessagePtr MarkerRing::takeFirstMarker() {
    std::lock_guard lock(mutex_);
    if (markers_.empty()) return nullptr;
    StageMessagePtr message = std::move(markers_.front().message);
    markers_.pop_front();
    return message;
}

}  // namespace kivo
