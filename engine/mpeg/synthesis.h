// Polyphase synthesis: 32 subband samples per time slot and channel become 32 PCM samples,
// truncated toward zero and clipped to 16 bits. The sums carry the opposite sign of the
// textbook filterbank, so our PCM is the negative of a reference decoder's output.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

// Synthesis state of one stream: one ring of the last 16 transformed slots per output
// channel. Slots alternate between natural and mirrored order so that every windowing step
// reads 16 consecutive values per slot; entry 32 of a slot repeats entry 0 for the same reason.
struct SynthesisState {
    static constexpr int kSlots = 16;
    static constexpr int kSlotStride = 36;  // 33 used, padded to whole 16-byte vectors

    struct Ring {
        alignas(16) float values[kSlots * kSlotStride] = {};
        uint32_t slot = 0;  // counts time slots; the newest slot is at (slot & 15)
        bool wide = false;  // window with 256-bit vectors (set by clear() where available)
    };
    Ring ring[2];  // [0] first or only channel, [1] second channel

    void clear();
};

// Layer III: 18 time slots of 32 subband samples of one channel -> 18*32 PCM samples.
void synthesizeLayer3Mono(SynthesisState& s, const float hybrid[18][32], int16_t* pcm);
// Both channels' 18 slots -> 18*32 interleaved left,right pairs.
void synthesizeLayer3Stereo(SynthesisState& s, const float left[18][32], const float right[18][32],
                            int16_t* pcm);
// Layer II: `slots` time slots of 64 floats (single channel: values 0..31 are the subbands;
// two channels: subband-major pairs left,right).
void synthesizeLayer2Single(SynthesisState& s, const float* block, int16_t* pcm, int slots);
void synthesizeLayer2Stereo(SynthesisState& s, const float* block, int16_t* pcm, int slots);

}  // namespace kivo::mpeg
