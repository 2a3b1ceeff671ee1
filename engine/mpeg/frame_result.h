// What decoding one frame cost and gave.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

// Nothing consumed means the frame was refused (the caller resynchronises).
struct FrameResult {
    uint32_t consumed = 0;  // input bytes
    uint32_t produced = 0;  // PCM bytes written
    bool refused() const { return consumed == 0; }
};

inline constexpr FrameResult kRefusedFrame{};

}  // namespace kivo::mpeg
