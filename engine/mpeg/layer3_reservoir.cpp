#include "layer3_reservoir.h"

#include <algorithm>
#include <cstring>

namespace kivo::mpeg {

int MainDataReservoir::append(const uint8_t* mainData, int length, int mainDataBegin) {
    // Keep only what the current frame can still point back to, once the buffer runs full
    // (and, for long free-format frames, whenever the new data would not fit).
    if (filled_ >= kCompactAt || (length > 0 && filled_ + length > kCapacity)) {
        const int keep = std::min(mainDataBegin, filled_);
        std::memmove(buffer_, buffer_ + filled_ - keep, static_cast<size_t>(keep));
        filled_ = keep;
    }
    if (length < 0 || length > kMaxMainData) return kRefused;
    const int offset = filled_ - mainDataBegin;
    std::memcpy(buffer_ + filled_, mainData, static_cast<size_t>(length));
    filled_ += length;
    return offset;
}

}  // namespace kivo::mpeg
