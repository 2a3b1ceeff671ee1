// The bit reservoir: main data of the recent frames, so that a frame's main data may begin in
// the frames before it.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

class MainDataReservoir {
public:
    static constexpr int kMaxMainData = 8192;  // longer main data is refused
    static constexpr int kCompactAt = 6693;
    // Room for the longest main data behind the most a frame may point back (511 bytes).
    static constexpr int kCapacity = kMaxMainData + 512;
    // Readers may run a little past the data they were allowed; keep that inside the buffer.
    static constexpr int kSlack = 64;

    void clear() { filled_ = 0; }

    // Appends a frame's main data whose first byte lies `mainDataBegin` bytes before the end
    // of what is buffered. Returns the offset of that first byte, negative when the buffer
    // does not reach back that far, or kRefused (nothing appended) for a length outside
    // 0..kMaxMainData.
    static constexpr int kRefused = -100000;
    int append(const uint8_t* mainData, int length, int mainDataBegin);

    const uint8_t* data() const { return buffer_; }
    int filled() const { return filled_; }

private:
    int filled_ = 0;
    uint8_t buffer_[kCapacity + kSlack] = {};
};

}  // namespace kivo::mpeg
