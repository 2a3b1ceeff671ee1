#include "decoder.h"

namespace kivo::mpeg {

bool MpegDecoder::start(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit) {
    layer_ = kLayerInvalid;
    format_ = {};
    bool accepted = false;
    switch (header.layerCode) {
        case kLayerIII:
            accepted = layer3_.init(header, frameBytes, frequencyLimit, &format_, synth_);
            break;
        case kLayerII:
            accepted = layer2_.init(header, frameBytes, frequencyLimit, &format_, synth_);
            break;
        default:
            break;
    }
    if (accepted) {
        layer_ = static_cast<LayerCode>(header.layerCode);
    } else {
        format_ = {};
    }
    return accepted;
}

FrameResult MpegDecoder::decodeFrame(const uint8_t* frame, size_t available, void* pcm) {
    if (frame == nullptr || pcm == nullptr) return kRefusedFrame;
    int16_t* out = static_cast<int16_t*>(pcm);
    switch (layer_) {
        case kLayerIII:
            return layer3_.decodeFrame(frame, available, out, synth_);
        case kLayerII:
            return layer2_.decodeFrame(frame, available, out, synth_);
        default:
            return kRefusedFrame;
    }
}

bool OpsDecoder::start(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit) {
    return ops_.decoderInit(&header, frameBytes, 0, 0, 0, frequencyLimit) != 0;
}

PcmFormat OpsDecoder::format() const {
    PcmFormat format{};
    ops_.decoderGetFormat(&format);
    return format;
}

FrameResult OpsDecoder::decode(const uint8_t* frame, void* pcm) {
    const uint64_t packed = ops_.decoderDecodeFrame(frame, pcm);
    return {consumedBytes(packed), producedBytes(packed)};
}

namespace {

MpegDecoder& processDecoder() {
    static MpegDecoder decoder;
    return decoder;
}

// The three settings must be 0 (full rate, the channels as coded, 16-bit output: the only
// output this decoder makes).
int32_t processInit(const FrameHeader* header, int32_t frameBytes, int32_t reduction,
                    int32_t channelSetting, int32_t conversionFlags, int32_t frequencyLimit) {
    if (header == nullptr || reduction != 0 || channelSetting != 0 || conversionFlags != 0) {
        return 0;
    }
    return processDecoder().start(*header, frameBytes, frequencyLimit) ? 1 : 0;
}

void processGetFormat(PcmFormat* format) {
    if (format) *format = processDecoder().format();
}

uint64_t processDecode(const uint8_t* frame, void* pcm) {
    const FrameResult r = processDecoder().decodeFrame(frame, kFrameSpanBytes, pcm);
    return packFrameResult(r.consumed, r.produced);
}

}  // namespace

const DecoderOps& processDecoderOps() {
    static const DecoderOps ops{processInit, processGetFormat, processDecode};
    return ops;
}

}  // namespace kivo::mpeg
