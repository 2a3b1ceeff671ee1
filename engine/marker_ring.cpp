#include "marker_ring.h"

namespace kivo {

MarkerRing::~MarkerRing() = default;

uint32_t MarkerRing::distanceToFirstMarker() const {
    const uint64_t at = markers_.front().readAt;
    return at > bytesRead_ ? static_cast<uint32_t>(at - bytesRead_) : 0;
}

StageResult MarkerRing::reserveRead(uint32_t n, uint8_t** span) {
    std::lock_guard lock(mutex_);
    if (!closed_ && !markers_.empty()) {
        const uint32_t distance = distanceToFirstMarker();
        if (distance == 0 || n > distance) return kMarkerDue;
    }
    return reserveReadLocked(n, span);
}

uint32_t MarkerRing::bytesBeforeMarker() const {
    std::lock_guard lock(mutex_);
    return markers_.empty() ? UINT32_MAX : distanceToFirstMarker();
}

StageResult MarkerRing::postMarker(StageMessagePtr message) {
    std::unique_lock lock(mutex_);
    if (!waitForNoReservation(lock, false, true)) return kClosed;
    markers_.push_back(Marker{bytesRead_ + filled_, std::move(message)});
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
