#include "gapless_trim.h"

#include <algorithm>
#include <cstring>

namespace kivo {

std::optional<EncoderGap> encoderGapOf(const std::optional<XingInfo>& xing) {
    if (!xing || xing->encoderDelay < 0 || xing->encoderPadding < 0) return std::nullopt;
    // The padding covers the decoder's delay too: the end moves by as much as the start.
    return EncoderGap{xing->encoderDelay + kDecoderDelaySamples,
                      std::max(xing->encoderPadding - kDecoderDelaySamples, 0)};
}

GaplessTrim::GaplessTrim(const EncoderGap& gap, uint32_t sampleBytes, uint32_t frameBytes,
                         bool fromStart)
    : frameBytes_(frameBytes),
      skipLeft_(fromStart ? size_t{static_cast<uint32_t>(gap.skipStart)} * sampleBytes : 0),
      holdBack_(size_t{static_cast<uint32_t>(gap.dropEnd)} * sampleBytes) {
    // What is held back, one frame coming in and one block not yet taken.
    queue_.resize(holdBack_ + 3 * frameBytes_);
}

uint8_t* GaplessTrim::space() {
    if (queue_.size() - tail_ < frameBytes_) {
        std::memmove(queue_.data(), queue_.data() + head_, tail_ - head_);
        tail_ -= head_;
        head_ = 0;
        // Only a caller that takes nothing out lets the queue grow.
        if (queue_.size() - tail_ < frameBytes_) queue_.resize(tail_ + frameBytes_);
    }
    return queue_.data() + tail_;
}

void GaplessTrim::commit(size_t bytes) {
    bytes = std::min(bytes, frameBytes_);
    const size_t skipped = std::min(bytes, skipLeft_);
    skipLeft_ -= skipped;
    // Skipping happens before anything is held, so the skipped bytes are the newest.
    if (skipped > 0) {
        std::memmove(queue_.data() + tail_, queue_.data() + tail_ + skipped, bytes - skipped);
    }
    tail_ += bytes - skipped;
}

size_t GaplessTrim::ready() const {
    const size_t held = tail_ - head_;
    return held > holdBack_ ? held - holdBack_ : 0;
}

void GaplessTrim::take(uint8_t* out, size_t n) {
    n = std::min(n, ready());
    std::memcpy(out, queue_.data() + head_, n);
    head_ += n;
}

void GaplessTrim::finish() {
    const size_t dropped = std::min(holdBack_, tail_ - head_);
    tail_ -= dropped;
    holdBack_ = 0;
}

}  // namespace kivo
