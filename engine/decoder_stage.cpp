#include "decoder_stage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "notify_messages.h"
#include "source_stage.h"

namespace kivo {

namespace {
// The resync looks one byte past the span it searches.
constexpr uint32_t kResyncSpan = kFrameSpanBytes + 1;

std::atomic<const mpeg::DecoderOps*> installedOps{nullptr};
}  // namespace

std::unique_ptr<mpeg::StreamDecoder> makePipelineDecoder() {
    const mpeg::DecoderOps* ops = installedOps.load(std::memory_order_acquire);
    if (ops) return std::make_unique<mpeg::OpsDecoder>(*ops);
    return std::make_unique<mpeg::MpegDecoder>();
}

void setPipelineDecoderOps(const mpeg::DecoderOps* ops) {
    installedOps.store(ops, std::memory_order_release);
}

DecoderStage::DecoderStage(StageOwner* owner, WindowHandle notifyWindow,
                           std::unique_ptr<mpeg::StreamDecoder> decoder)
    : PipelineStage(owner), decoder_(std::move(decoder)), notifyWindow_(notifyWindow) {}

DecoderStage::~DecoderStage() {
    requestStop();
    thread_.join();
}

StageResult DecoderStage::open(ByteRing* input, MarkerRing** pcm) {
    setInputRing(input);
    if (!pcmRing_) {
        auto ring = std::make_unique<MarkerRing>(kPcmRingSize, 0);
        pcmRing_ = ring.get();
        outputRing_ = std::move(ring);
    }
    if (!thread_.started() && !thread_.start(&DecoderStage::threadMain, this)) {
        return kDecoderThreadFailed;
    }
    *pcm = pcmRing_;
    return kStageOk;
}

void DecoderStage::threadMain(void* stage) {
    static_cast<DecoderStage*>(stage)->decode();
}

void DecoderStage::decode() {
    if (waitForWake()) return;
    if (source_) source_->kick();
    StageResult result = findStream();
    if (result == kStageOk) result = readStreamFacts();
    if (result == kStageOk) result = initialiseDecoder();
    if (result == kStageOk) {
        framesDone_ = 0;
        const int32_t start = startPercent_.exchange(0);
        if (start != 0) seekToStart(start);
        result = frameLoop();
    }
    // One report per failure; a closed ring or a stop ends quietly.
    if (result != kStageOk && result != kClosed) fail();
}

StageResult DecoderStage::readInput(uint32_t n, InputSpan* span) {
    for (;;) {
        uint8_t* p = nullptr;
        StageResult result = inputRing_->reserveRead(n, &p);
        if (result == kNotEnoughData) {
            if (source_) source_->kick();
            if (waitForWake()) return kClosed;
            continue;
        }
        if (result == kEndOfStream) {
            // The source has ended: what is left is all there will be until a seek.
            const uint32_t rest = inputRing_->filled();
            if (rest == 0) return kEndOfStream;
            result = inputRing_->reserveRead(rest, &p);
            if (result != kStageOk) return result;
            std::memcpy(tail_.data(), p, rest);
            std::fill(tail_.begin() + rest, tail_.end(), 0);
            *span = InputSpan{tail_.data(), rest, true};
            return kStageOk;
        }
        if (result == kStageOk) *span = InputSpan{p, n, false};
        return result;
    }
}

void DecoderStage::releaseInput(uint32_t n) {
    inputRing_->commitRead(n);
}

StageResult DecoderStage::findStream() {
    if (!inputRing_) return kNoInputRing;
    for (int attempt = 0; attempt < kStreamSearchAttempts; ++attempt) {
        InputSpan peek;
        const StageResult result = readInput(kStreamPeekBytes, &peek);
        if (result != kStageOk) return result;
        // A file shorter than the look-ahead is searched in the bytes it has.
        if (findThreeFrames(peek.data, peek.available, &header_, &frameLength_)) {
            xing_ = parseXing(peek.data, peek.available);
            releaseInput(0);  // decoding begins at the read position itself
            return kStageOk;
        }
        releaseInput(0);
        const StageResult resynced = resync();
        if (resynced != kStageOk) return resynced;
    }
    return kNoStream;
}

StageResult DecoderStage::readStreamFacts() {
    if (!source_) return kNotConnected;
    if (source_->size(&fileSize_) == kNotSupported) fileSize_ = 0;
    // A Xing header without a frame count gets the estimate a constant bitrate gives.
    if (xing_ && (xing_->flags & kXingFrames)) {
        totalFrames_ = xing_->frames;
    } else {
        totalFrames_ = fileSize_ == 0 ? -1 : static_cast<int32_t>(fileSize_ / frameLength_);
    }
    return kStageOk;
}

StageResult DecoderStage::initialiseDecoder() {
    if (!source_ || !pcmRing_ || !inputRing_) return kNotConnected;
    if (!decoder_->start(header_, frameLength_, kFrequencyLimit)) return kDecoderRefused;
    const mpeg::PcmFormat format = decoder_->format();
    const int32_t bytesPerValue = format.bitsPerSample / 8;
    const int32_t channels = std::max(format.channels, 1);
    // The block holds what the decoder writes per frame: Layer II at low sampling frequencies
    // gives 1152 samples per frame like MPEG-1, so the version alone does not tell.
    int32_t samplesPerBlock = format.valuesPerFrame / channels;
    if (samplesPerBlock <= 0) samplesPerBlock = header_.id == 1 ? 1152 : 576;
    blockBytes_ = static_cast<uint32_t>(channels * bytesPerValue * samplesPerBlock);
    if (blockBytes_ == 0) return kDecoderRefused;
    const StageResult resized = pcmRing_->resize(kPcmRingTarget - kPcmRingTarget % blockBytes_, 0);
    if (resized != kStageOk) return resized;
    OutputFormat output;
    output.bitsPerSample = format.bitsPerSample;
    output.channels = channels;
    output.sampleRate = format.sampleRate;
    output.blockBytes = static_cast<int32_t>(blockBytes_);
    output.samplesPerBlock = samplesPerBlock;
    const StageResult posted = pcmRing_->postMarker(std::make_unique<FormatMessage>(output));
    kickConsumer();
    return posted;
}

void DecoderStage::seekToStart(int32_t percent) {
    const int32_t p = std::clamp(percent, 0, 100);
    uint32_t offset;
    // Without a table of contents the constant-bitrate rule places the seek.
    if (xing_ && (xing_->flags & kXingToc)) {
        offset = xingSeekOffset(*xing_, p, fileSize_);
    } else {
        const int64_t frames = int64_t{fileSize_} * p / frameLength_ / 100;
        offset = static_cast<uint32_t>(frames * frameLength_);
    }
    if (xing_ && (xing_->flags & kXingFrames)) {
        framesDone_ = static_cast<int32_t>(int64_t{xing_->frames} * p / 100);
    } else {
        framesDone_ = static_cast<int32_t>(int64_t{fileSize_} * p / frameLength_ / 100);
    }
    int64_t position = 0;
    // A failed seek leaves decoding where it was.
    if (source_) source_->seek(offset, SEEK_SET, &position);
}

void DecoderStage::postProgress() {
    if (notifyWindow_ == 0) return;
    double percent = totalFrames_ > 0 ? framesDone_ * 100.0 / totalFrames_ : 0.0;
    const int32_t whole = static_cast<int32_t>(std::clamp(percent, 0.0, 99.0));
    if (whole == lastPercent_) return;
    if (postToWindow(notifyWindow_, WM_PLAYPROGRESS, static_cast<uintptr_t>(whole))) {
        lastPercent_ = whole;
    }
}

void DecoderStage::endOfStream() {
    pcmRing_->postMarker(std::make_unique<StageMessage>(kEndOfStreamMarker));
    kickConsumer();
}

// At the end of the data only a whole frame is decoded; a cut-off last frame is dropped.
bool DecoderStage::tailFrameIncomplete(const InputSpan& span) const {
    return span.tail && wholeFrameLength(span.data, span.available, frameLength_) > span.available;
}

StageResult DecoderStage::frameLoop() {
    bool progressDue = true;
    for (;;) {
        if (progressDue) postProgress();
        progressDue = false;
        if (stopRequested() || waitWhilePaused()) return kClosed;
        uint8_t* pcm = nullptr;
        const StageResult reserved = pcmRing_->reserveWrite(blockBytes_, &pcm);
        if (reserved == kClosed) return kClosed;
        if (reserved == kNoSpace) {
            if (waitForWake()) return kClosed;
            continue;
        }
        if (reserved != kStageOk) return reserved;
        InputSpan in;
        StageResult result = readInput(kFrameSpanBytes, &in);
        if (result == kStageOk && tailFrameIncomplete(in)) {
            releaseInput(0);
            result = kEndOfStream;
        }
        if (result != kStageOk) {
            pcmRing_->commitWrite(0);
            if (result == kEndOfStream) {
                endOfStream();
                return kStageOk;
            }
            return result;
        }
        const mpeg::FrameResult decoded = decoder_->decode(in.data, pcm);
        if (decoded.refused()) {
            releaseInput(0);
            pcmRing_->commitWrite(0);
            result = resync();
            if (result == kEndOfStream) {
                endOfStream();
                return kStageOk;
            }
            if (result != kStageOk) return result;
            decoder_->start(header_, frameLength_, kFrequencyLimit);
            continue;
        }
        releaseInput(std::min(decoded.consumed, in.available));
        if (source_) source_->kick();
        const uint32_t produced = std::min(decoded.produced, blockBytes_);
        result = pcmRing_->commitWrite(produced);
        if (result != kStageOk) return result;
        kickConsumer();
        ++framesDone_;
        progressDue = true;
    }
}

StageResult DecoderStage::resync() {
    for (;;) {
        InputSpan s;
        const StageResult result = readInput(kResyncSpan, &s);
        if (result != kStageOk) return result;
        const ResyncStep step = resyncStep(s.data, s.tail ? s.available : kFrameSpanBytes);
        releaseInput(static_cast<uint32_t>(step.advance));
        if (step.found) return kStageOk;
    }
}

}  // namespace kivo
