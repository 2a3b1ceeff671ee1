// A byte ring whose producer can put markers between its bytes. A marker stands at the write
// position it was posted at; a read that would run past a marker is refused with kMarkerDue,
// and the reader then takes the marker and acts on it.
#pragma once

#include <deque>

#include "byte_ring.h"
#include "stage_message.h"

namespace kivo {

class MarkerRing : public ByteRing {
public:
    MarkerRing(uint32_t size, uint32_t spill) : ByteRing(size, spill) {}
    ~MarkerRing() override;

    // Refused with kMarkerDue when a marker stands at the read position or inside the first
    // n - 1 bytes after it. A read that ends exactly at a marker is granted, so every byte
    // before a marker can be read.
    StageResult reserveRead(uint32_t n, uint8_t** span) override;

    // The bytes from the read position up to the first marker; UINT32_MAX without one.
    uint32_t bytesBeforeMarker() const;

    // Puts the message at the current write position; kClosed if the ring is closing.
    StageResult postMarker(StageMessagePtr message);
    // The first marker's message, removed from the ring; null when there is none.
    StageMessagePtr takeFirstMarker();

private:
    // The bytes read once the reader reaches the marker. (A ring index alone cannot tell a
    // marker at the reader from one a whole ring ahead, posted when the ring was full.)
    struct Marker {
        uint64_t readAt;
        StageMessagePtr message;
    };
    // With mutex_ held.
    uint32_t distanceToFirstMarker() const;
    std::deque<Marker> markers_;
};

}  // namespace kivo
