#include "frame_walker.h"

#include <algorithm>

#include "mpeg/frame_length.h"

namespace kivo {

namespace {

// The decoder stage's fixed decoder settings.
constexpr int32_t kFrequencyLimit = 24000;
// How far into the data the Layer I diagnosis looks.
constexpr size_t kLayer1SearchBytes = 65536;

}  // namespace

bool FrameWalker::findStream() {
    const size_t start = position_;
    while (position_ - start <= kStreamSearchBytes) {
        if (position_ >= data_.size()) return false;
        // Data shorter than the look-ahead is searched in the bytes it has.
        const size_t n = std::min(kStreamPeekBytes, data_.size() - position_);
        const uint8_t* peek = data_.data() + position_;
        if (findThreeFrames(peek, n, &header_, &frameLength_)) {
            xing_ = parseXing(peek, n);
            return true;
        }
        if (!resync()) return false;
    }
    return false;
}

void FrameWalker::slide(std::span<const uint8_t> audio, size_t dropped) {
    data_ = audio;
    position_ -= std::min(dropped, position_);
}

void FrameWalker::skipHeaderFrame() {
    if (!xing_) return;
    const size_t whole = wholeFrameAt(position_);
    if (whole > 0 && position_ + whole <= data_.size()) position_ += whole;
}

bool FrameWalker::initDecoder(mpeg::MpegDecoder& decoder) const {
    return decoder.start(header_, frameLength_, kFrequencyLimit);
}

size_t FrameWalker::wholeFrameAt(size_t at) const {
    if (at >= data_.size()) return 0;
    return wholeFrameLength(data_.data() + at, data_.size() - at, frameLength_);
}

int64_t FrameWalker::decodeNext(mpeg::MpegDecoder& decoder, void* pcm) {
    const size_t left = data_.size() - std::min(position_, data_.size());
    if (left < 4) return -1;
    // A frame cut off by the end of the data is not decoded.
    const size_t whole = wholeFrameAt(position_);
    if (whole > left) return -1;
    const mpeg::FrameResult result = decoder.decodeFrame(data_.data() + position_, left, pcm);
    const uint32_t consumed = result.consumed;
    if (consumed == 0) {
        ++failures_;
        if (!resync()) return -1;
        initDecoder(decoder);
        return 0;
    }
    position_ += std::min<size_t>(consumed, left);
    return result.produced;
}

std::optional<FrameHeader> FrameWalker::skipFrame() {
    for (;;) {
        const size_t whole = wholeFrameAt(position_);
        if (whole > 0 && position_ + whole <= data_.size()) {
            const FrameHeader h = mpeg::parseFrameHeader(data_.data() + position_);
            if (sameStream(h, header_)) {
                position_ += whole;
                return h;
            }
        }
        if (data_.size() - std::min(position_, data_.size()) < 4) return std::nullopt;
        ++failures_;
        if (!resync()) return std::nullopt;
    }
}

bool FrameWalker::resync() {
    for (;;) {
        if (position_ >= data_.size()) return false;
        const size_t left = data_.size() - position_;
        const size_t n = std::min<size_t>(kFrameSpanBytes, left);
        const ResyncStep step = resyncStep(data_.data() + position_, n, std::min(n + 1, left));
        position_ += step.advance;
        if (step.found) return true;
    }
}

bool FrameWalker::holdsLayer1Stream(std::span<const uint8_t> audio) {
    const size_t n = std::min(audio.size(), kLayer1SearchBytes);
    const uint8_t* p = audio.data();
    for (ptrdiff_t at = findSync(p, n, 0); at >= 0;
         at = findSync(p, n, static_cast<size_t>(at) + 1)) {
        size_t offset = static_cast<size_t>(at);
        int frames = 0;
        FrameHeader first{};
        while (frames < 3 && offset + 4 <= n && mpeg::isFrameSync(p[offset], p[offset + 1])) {
            const FrameHeader h = mpeg::parseFrameHeader(p + offset);
            const int32_t length = measureFrameLength(p + offset, n - offset, h);
            if (h.layerCode != mpeg::kLayerI || length <= 0) break;
            if (frames == 0) first = h;
            if (h.id != first.id || h.sampleRateIndex != first.sampleRateIndex) break;
            offset += static_cast<size_t>(length + h.padding * mpeg::paddingUnitOf(h));
            ++frames;
        }
        if (frames == 3) return true;
    }
    return false;
}

}  // namespace kivo
