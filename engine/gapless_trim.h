// Gapless playback: an encoder puts a delay of silence before the audio it was given and pads
// the last frame, and the decoder's filter bank adds a delay of its own. When the stream's
// Info/Xing frame carries the encoder's figures, these samples are left out, so that a song
// decodes to exactly the samples the encoder was given and two songs follow without a gap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "stream_rules.h"

namespace kivo {

// The samples (per channel) to leave out at each end.
struct EncoderGap {
    int32_t skipStart = 0;
    int32_t dropEnd = 0;
};

// The gap of a stream whose header carries the encoder's delay and padding; none without.
std::optional<EncoderGap> encoderGapOf(const std::optional<XingInfo>& xing);

// A short queue of decoded PCM between the decoder and whoever writes it out: the first
// samples are skipped as they come, and the last ones are held back until the stream ends,
// because only then is it known which samples are the padding.
class GaplessTrim {
public:
    // `sampleBytes`: bytes of one sample of every channel. `fromStart`: decoding begins at the
    // first frame (after a seek the start is not skipped).
    GaplessTrim(const EncoderGap& gap, uint32_t sampleBytes, uint32_t frameBytes, bool fromStart);

    // Room for one decoded frame of up to `frameBytes`, then how many bytes it filled.
    uint8_t* space();
    void commit(size_t bytes);

    // Bytes that may go out now; all of them once the stream has ended.
    size_t ready() const;
    // Moves `n` ready bytes (at most ready()) to `out`.
    void take(uint8_t* out, size_t n);
    // The stream has ended: the padding is dropped and the rest becomes ready.
    void finish();

private:
    std::vector<uint8_t> queue_;
    size_t head_ = 0;  // first byte held
    size_t tail_ = 0;  // one past the last
    size_t frameBytes_;
    size_t skipLeft_;
    size_t holdBack_;
};

}  // namespace kivo
