// Header and side information of one Layer III frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "layer3_types.h"

namespace kivo::mpeg {

// What decoderInit fixed for the stream; frames that disagree are refused.
struct Layer3StreamInfo {
    bool lsf;
    bool mpeg25;
    int sampleRateIndex;
    int freeFormatBytes;  // frame length without padding for bitrate index 0
};

// Reads the header and side information of the frame at `frame`, of which `available` bytes
// may be read. False when the frame is refused: wrong sync, layer or version, a sample rate
// other than the stream's, a bad bitrate index, or a frame longer than `available` or shorter
// than its own side information.
bool parseLayer3SideInfo(const uint8_t* frame, size_t available, const Layer3StreamInfo& stream,
                         FrameSideInfo* out);

}  // namespace kivo::mpeg
