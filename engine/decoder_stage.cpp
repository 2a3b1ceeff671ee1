#include "decoder_stage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "mpeg/frame_length.h"
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

DecoderStage::DecoderStage(StageOwner* owner, std::unique_ptr<mpeg::StreamDecoder> decoder)
    : PipelineStage(owner), decoder_(std::move(decoder)) {}

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
        const std::optional<EncoderGap> gap = encoderGapOf(xing_);
        if (gap && header_.layerCode == mpeg::kLayerIII) {
            trim_.emplace(*gap, blockBytes_ / static_cast<uint32_t>(samplesPerBlock_), blockBytes_,
                          start == 0);
        }
        if (start != 0) {
            seekToStart(start);
        } else if (xing_) {
            result = skipHeaderFrame();
        }
        if (result == kStageOk) result = markPosition();
        if (result == kStageOk) result = frameLoop();
    }
    // One report per failure; a closed ring or a stop ends quietly.
    if (result != kStageOk && result != kClosed) fail(result);
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
    uint64_t searched = 0;
    while (searched <= kStreamSearchBytes) {
        InputSpan peek;
        const StageResult result = readInput(kStreamPeekBytes, &peek);
        // Data that ends before three frames were found holds no stream.
        if (result == kEndOfStream) return kNoStream;
        if (result != kStageOk) return result;
        // A file shorter than the look-ahead is searched in the bytes it has.
        if (findThreeFrames(peek.data, peek.available, &header_, &frameLength_)) {
            xing_ = parseXing(peek.data, peek.available);
            releaseInput(0);  // decoding begins at the read position itself
            return kStageOk;
        }
        releaseInput(0);
        const StageResult resynced = resync(kStreamSearchBytes - searched, &searched);
        if (resynced == kEndOfStream) return kNoStream;
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
        lengthReckoned_ = fileSize_ > 0;
    }
    return kStageOk;
}

StageResult DecoderStage::initialiseDecoder() {
    if (!source_ || !pcmRing_ || !inputRing_) return kNotConnected;
    OutputFormat output;
    if (!startDecoder(header_, frameLength_, &output)) return kDecoderRefused;
    blockBytes_ = static_cast<uint32_t>(output.blockBytes);
    samplesPerBlock_ = output.samplesPerBlock;
    const StageResult resized =
        pcmRing_->resize(kPcmRingTarget - kPcmRingTarget % kLargestBlockBytes, 0);
    if (resized != kStageOk) return resized;
    const StageResult posted = pcmRing_->postMarker(std::make_unique<FormatMessage>(output));
    kickConsumer();
    return posted;
}

bool DecoderStage::startDecoder(const mpeg::FrameHeader& header, int32_t frameLength,
                                OutputFormat* output) {
    if (!decoder_->start(header, frameLength, kFrequencyLimit)) return false;
    const mpeg::PcmFormat format = decoder_->format();
    const int32_t bytesPerValue = format.bitsPerSample / 8;
    const int32_t channels = std::max(format.channels, 1);
    // The block holds what the decoder writes per frame: Layer II at low sampling frequencies
    // gives 1152 samples per frame like MPEG-1, so the version alone does not tell.
    int32_t samplesPerBlock = format.valuesPerFrame / channels;
    if (samplesPerBlock <= 0) samplesPerBlock = header.id == 1 ? 1152 : 576;
    output->bitsPerSample = format.bitsPerSample;
    output->channels = channels;
    output->sampleRate = format.sampleRate;
    output->blockBytes = channels * bytesPerValue * samplesPerBlock;
    output->samplesPerBlock = samplesPerBlock;
    return output->blockBytes > 0;
}

bool DecoderStage::startsAnotherStream(const InputSpan& span) const {
    if (span.available < 4 || !mpeg::isFrameSync(span.data[0], span.data[1])) return false;
    const mpeg::FrameHeader h = mpeg::parseFrameHeader(span.data);
    // A change of channel mode alone is the decoder's to follow within the stream.
    return (h.layerCode == 1 || h.layerCode == 2) &&
           (h.sampleRateIndex != header_.sampleRateIndex || h.layerCode != header_.layerCode ||
            h.id != header_.id);
}

StageResult DecoderStage::followStreamChange() {
    InputSpan peek;
    StageResult result = readInput(kStreamPeekBytes, &peek);
    if (result != kStageOk) return result;
    mpeg::FrameHeader h{};
    int32_t length = -1;
    const bool stream = findSync(peek.data, peek.available, 0) == 0 &&
                        findThreeFrames(peek.data, peek.available, &h, &length);
    releaseInput(0);
    OutputFormat output;
    if (!stream || !startDecoder(h, length, &output)) {
        // A lone frame of another kind is damage: stepped over like any other.
        decoder_->start(header_, frameLength_, kFrequencyLimit);
        return resync();
    }
    // The trimmed stream has ended here: its padding goes, and the new one is not trimmed.
    result = flushTrim(true);
    if (result != kStageOk) return result;
    // Blocks point into the ring without wrapping: a block size that does not divide the ring
    // cannot be played from it, and the song ends at the change.
    if (pcmRing_->size() % static_cast<uint32_t>(output.blockBytes) != 0) return kEndOfStream;
    result = alignRing(static_cast<uint32_t>(output.blockBytes));
    if (result != kStageOk) return result;
    header_ = h;
    frameLength_ = length;
    blockBytes_ = static_cast<uint32_t>(output.blockBytes);
    const StageResult posted = pcmRing_->postMarker(std::make_unique<FormatMessage>(output));
    kickConsumer();
    return posted;
}

StageResult DecoderStage::alignRing(uint32_t blockBytes) {
    uint32_t at = 0;
    if (pcmRing_->writeIndex(&at) != kStageOk) return kClosed;
    if (at % blockBytes == 0) return kStageOk;
    // Larger blocks would run over the ring's end from here: once the old stream has been
    // played out (the output drains it at the change anyway), the ring starts from its
    // beginning.
    while (pcmRing_->filled() > 0) {
        kickConsumer();
        if (waitForWake()) return kClosed;
    }
    return pcmRing_->reset();
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
    if (source_ && source_->seek(offset, SEEK_SET, &position) == kStageOk) startOffset_ = offset;
}

StageResult DecoderStage::markPosition(bool reckonedAgain) {
    const StageResult posted = pcmRing_->postMarker(
        std::make_unique<PositionMessage>(SongPosition{framesDone_, totalFrames_, reckonedAgain}));
    kickConsumer();
    return posted;
}

StageResult DecoderStage::reckonLength(bool atEnd) {
    if (framesDecoded_ == 0) return kStageOk;
    const double meanLength = static_cast<double>(bytesDecoded_) / framesDecoded_;
    // A start seek went by bytes: its frame number follows from the same mean.
    if (startOffset_ > 0) {
        framesDone_ = static_cast<int32_t>(startOffset_ / meanLength) + framesDecoded_;
    }
    // Rounded up: a count short by one would show the position ahead of the sound.
    totalFrames_ =
        atEnd ? framesDone_
              : std::max(static_cast<int32_t>(std::ceil(fileSize_ / meanLength)), framesDone_ + 1);
    return markPosition(true);
}

StageResult DecoderStage::skipHeaderFrame() {
    InputSpan span;
    const StageResult result = readInput(kFrameSpanBytes, &span);
    if (result != kStageOk) return result;
    const size_t length = wholeFrameLength(span.data, span.available, frameLength_);
    releaseInput(static_cast<uint32_t>(std::min<size_t>(length, span.available)));
    return kStageOk;
}

StageResult DecoderStage::flushTrim(bool wholeBlocks) {
    if (!trim_) return kStageOk;
    trim_->finish();
    while (trim_->ready() > 0) {
        uint8_t* pcm = nullptr;
        const StageResult reserved = pcmRing_->reserveWrite(blockBytes_, &pcm);
        if (reserved == kNoSpace) {
            if (waitForWake()) return kClosed;
            continue;
        }
        if (reserved != kStageOk) return reserved;
        const auto n = static_cast<uint32_t>(std::min<size_t>(trim_->ready(), blockBytes_));
        trim_->take(pcm, n);
        // A short last block is played as it is; the end-of-stream marker follows it.
        uint32_t kept = n;
        if (wholeBlocks) {
            std::memset(pcm + n, 0, blockBytes_ - n);
            kept = blockBytes_;
        }
        const StageResult committed = pcmRing_->commitWrite(kept);
        if (committed != kStageOk) return committed;
        kickConsumer();
    }
    trim_.reset();
    return kStageOk;
}

StageResult DecoderStage::endOfStream() {
    const StageResult flushed = flushTrim(false);
    if (flushed != kStageOk) return flushed;
    if (lengthReckoned_) {
        const StageResult reckoned = reckonLength(true);
        if (reckoned != kStageOk) return reckoned;
    }
    const StageResult posted =
        pcmRing_->postMarker(std::make_unique<StageMessage>(kEndOfStreamMarker));
    kickConsumer();
    return posted == kClosed ? kClosed : kStageOk;
}

// At the end of the data only a whole frame is decoded; a cut-off last frame is dropped.
bool DecoderStage::tailFrameIncomplete(const InputSpan& span) const {
    return span.tail && wholeFrameLength(span.data, span.available, frameLength_) > span.available;
}

StageResult DecoderStage::frameLoop() {
    for (;;) {
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
        // Files joined end to end: another sample rate, layer or version goes on in its own
        // format (the output stage plays out the old one and reopens the device).
        if (result == kStageOk && startsAnotherStream(in)) {
            releaseInput(0);
            pcmRing_->commitWrite(0);
            result = followStreamChange();
            if (result == kStageOk) continue;
        }
        if (result != kStageOk) {
            pcmRing_->commitWrite(0);  // nothing when the reservation has gone already
            if (result == kEndOfStream) return endOfStream();
            return result;
        }
        // A trimmed stream is decoded into the trim's queue and written out in whole blocks.
        const mpeg::FrameResult decoded = decoder_->decode(in.data, trim_ ? trim_->space() : pcm);
        if (decoded.refused()) {
            releaseInput(0);
            pcmRing_->commitWrite(0);
            result = resync();
            if (result == kEndOfStream) return endOfStream();
            if (result != kStageOk) return result;
            decoder_->start(header_, frameLength_, kFrequencyLimit);
            continue;
        }
        const uint32_t consumed = std::min(decoded.consumed, in.available);
        releaseInput(consumed);
        if (source_) source_->kick();
        uint32_t produced = std::min(decoded.produced, blockBytes_);
        if (trim_) {
            trim_->commit(produced);
            produced = trim_->ready() >= blockBytes_ ? blockBytes_ : 0;
            trim_->take(pcm, produced);
        }
        result = pcmRing_->commitWrite(produced);
        if (result != kStageOk) return result;
        kickConsumer();
        ++framesDone_;
        bytesDecoded_ += consumed;
        if (lengthReckoned_ && ++framesDecoded_ == nextReckoning_) {
            nextReckoning_ *= 2;
            result = reckonLength(false);
            if (result != kStageOk) return result;
        }
    }
}

StageResult DecoderStage::resync(uint64_t limit, uint64_t* skipped) {
    uint64_t released = 0;
    for (;;) {
        if (released > limit) return kNoStream;
        InputSpan s;
        const StageResult result = readInput(kResyncSpan, &s);
        if (result != kStageOk) return result;
        const ResyncStep step = resyncStep(s.data, s.tail ? s.available : kFrameSpanBytes,
                                           s.tail ? s.available : kResyncSpan);
        releaseInput(static_cast<uint32_t>(step.advance));
        released += step.advance;
        if (skipped) *skipped += step.advance;
        if (step.found) return kStageOk;
    }
}

}  // namespace kivo
