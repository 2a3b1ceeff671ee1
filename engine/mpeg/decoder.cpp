#include "decoder.h"

namespace kivo::mpeg {

int32_t MpegDecoder::init(const FrameHeader& header, int32_t frameBytes, int32_t reduction,
                          int32_t channelSetting, int32_t conversionFlags, int32_t frequencyLimit) {
    layer_ = kLayerInvalid;
    format_ = {};
    if (reduction != 0 || channelSetting != 0 || conversionFlags != 0) return 0;
    int32_t accepted = 0;
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
        layer_ = header.layerCode;
    } else {
        format_ = {};
    }
    return accepted ? 1 : 0;
}

uint64_t MpegDecoder::decodeFrame(const uint8_t* frame, size_t available, void* pcm) {
    if (frame == nullptr || pcm == nullptr) return 0;
    int16_t* out = static_cast<int16_t*>(pcm);
    switch (layer_) {
        case kLayerIII:
            return layer3_.decodeFrame(frame, available, out, synth_);
        case kLayerII:
            return layer2_.decodeFrame(frame, available, out, synth_);
        default:
            return 0;
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
    return frameResultOf(ops_.decoderDecodeFrame(frame, pcm));
}

namespace {

MpegDecoder& processDecoder() {
    static MpegDecoder decoder;
    return decoder;
}

int32_t processInit(const FrameHeader* header, int32_t frameBytes, int32_t reduction,
                    int32_t channelSetting, int32_t conversionFlags, int32_t frequencyLimit) {
    if (header == nullptr) return 0;
    return processDecoder().init(*header, frameBytes, reduction, channelSetting, conversionFlags,
                                 frequencyLimit);
}

void processGetFormat(PcmFormat* format) {
    if (format) processDecoder().getFormat(format);
}

uint64_t processDecode(const uint8_t* frame, void* pcm) {
    return processDecoder().decodeFrame(frame, kFrameSpanBytes, pcm);
}

}  // namespace

const DecoderOps& processDecoderOps() {
    static const DecoderOps ops{processInit, processGetFormat, processDecode};
    return ops;
}

}  // namespace kivo::mpeg
