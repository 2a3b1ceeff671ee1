#include "layer3_decoder.h"

#include <algorithm>
#include <cstring>

#include "bit_reader.h"
#include "frame_length.h"
#include "layer3_band_tables.h"
#include "layer3_huffman.h"
#include "layer3_hybrid.h"
#include "layer3_requantize.h"
#include "layer3_scalefactors.h"
#include "layer3_stereo.h"
#include "simd4.h"

namespace kivo::mpeg {

int32_t Layer3Decoder::init(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit,
                            PcmFormat* format, SynthesisState& synth) {
    reservoir_.clear();
    const bool mpeg25 = header.syncKind == 2;
    if (header.layerCode != kLayerIII || header.sampleRateIndex < 0 || header.sampleRateIndex > 2 ||
        header.bitrateIndex < 0 || header.bitrateIndex > 14 || (mpeg25 && header.id != 0)) {
        return 0;
    }
    if (header.bitrateIndex == 0 && frameBytes <= 0) return 0;  // free format needs a length
    stream_.lsf = header.id == 0;
    stream_.mpeg25 = mpeg25;
    stream_.sampleRateIndex = header.sampleRateIndex;
    stream_.freeFormatBytes = frameBytes;

    const int rate = sampleRateOf(header);
    const int64_t limitHz = std::max<int64_t>(frequencyLimit, 1000);
    const int subbandLimit =
        static_cast<int>(std::min<int64_t>((rate / 2 + limitHz * 64) / rate, 31));

    const BandBoundaries& b = kBandBoundaries[mpeg25           ? 2
                                              : header.id == 1 ? 1
                                                               : 0][header.sampleRateIndex];
    std::memcpy(bands_.longBounds, b.longBounds, sizeof(b.longBounds));
    std::memcpy(bands_.shortBounds, b.shortBounds, sizeof(b.shortBounds));
    // LSF streams leave their top band undecoded.
    const int longEnd = stream_.lsf ? b.longBounds[21] : b.longBounds[22];
    const int shortEnd = 3 * (stream_.lsf ? b.shortBounds[12] : b.shortBounds[13]);
    bands_.lineLimit = std::min(longEnd + 8, 18 * subbandLimit);
    bands_.longEnd = std::min(longEnd, bands_.lineLimit);
    bands_.shortEnd = std::min(shortEnd, bands_.lineLimit);
    bands_.outputSubbands = (bands_.lineLimit + 17) / 18;
    bands_.mixedLongBands = stream_.lsf ? 6 : 8;

    outputChannels_ = header.mode == 3 ? 1 : 2;
    const int values = (stream_.lsf ? 576 : 1152) * outputChannels_;
    outputBytes_ = 2 * values;
    *format = {outputChannels_, values, rate, 16, frameBytes, 0};

    wideVectors_ = processorHasWideVectors();
    // The shared tables are built by the first init of the process.
    prepareStereoTables();
    prepareHybridTables();

    std::memset(scaleFactors_, 0, sizeof(scaleFactors_));
    std::memset(&intensity_, 0, sizeof(intensity_));
    std::memset(extent_, 0, sizeof(extent_));
    std::memset(overlapExtent_, 0, sizeof(overlapExtent_));
    std::memset(spectrum_, 0, sizeof(spectrum_));
    std::memset(overlap_, 0, sizeof(overlap_));
    std::memset(hybrid_, 0, sizeof(hybrid_));
    synth.clear();
    return 1;
}

FrameResult Layer3Decoder::decodeFrame(const uint8_t* frame, size_t available, int16_t* pcm,
                                       SynthesisState& synth) {
    if (!parseLayer3SideInfo(frame, available, stream_, &side_)) return kRefusedFrame;
    const int headerBytes = side_.sideInfoBytes + side_.crcBytes;
    const int offset =
        reservoir_.append(frame + headerBytes, side_.frameBytes - headerBytes, side_.mainDataBegin);
    if (offset == MainDataReservoir::kRefused) return kRefusedFrame;
    const FrameResult result{static_cast<uint32_t>(side_.frameBytes),
                             static_cast<uint32_t>(outputBytes_)};
    if (offset < 0) {
        // The frame's main data began before what we hold (stream start, after a seek).
        std::memset(pcm, 0, static_cast<size_t>(outputBytes_));
        return result;
    }
    int64_t bitPosition = static_cast<int64_t>(offset) * 8;
    decodeGranule(0, &bitPosition, pcm, synth);
    if (!stream_.lsf) decodeGranule(1, &bitPosition, pcm + 576 * outputChannels_, synth);
    return result;
}

void Layer3Decoder::decodeChannel(int granule, int channel, int64_t start, BlockInfo* info) {
    GranuleChannelInfo& g = side_.granule[granule][channel];
    float* xr = spectrum_[channel];
    int& extent = extent_[channel];
    const int64_t end = start + g.part23Length;
    if (end > static_cast<int64_t>(reservoir_.filled()) * 8) {
        // part2_3_length points past the data we hold: silence.
        std::memset(xr, 0, sizeof(float) * static_cast<size_t>(extent));
        extent = 0;
        *info = {false, -1, 12, 22, {11, 11, 11}, 0};
        g.blockType = 0;
        g.mixedBlock = 0;
        return;
    }
    BitReader br(reservoir_.data(), start);
    ScaleFactors& sf = scaleFactors_[stream_.lsf ? 0 : granule][channel];
    if (stream_.lsf) {
        const bool intensityRight = channel == 1 && side_.intensityStereo;
        readScaleFactorsLsf(br, &g, &sf, intensityRight ? &intensity_ : nullptr);
    } else {
        readScaleFactorsMpeg1(br, g, granule, side_.scfsi[channel], scaleFactors_[0][channel], &sf);
    }
    if (g.blockType != 2) {
        // Long blocks are scaled as they are decoded.
        alignas(16) float factors[kSpectrumFloats + 8];
        longBlockFactors(g, sf, bands_, bands_.lineLimit + 4, factors);
        extent = decodeSpectrum(br, g, bands_, end, extent, xr, factors);
        describeLongBlock(xr, extent, bands_, channel == 1 && side_.intensityStereo, info);
    } else {
        const int lines = decodeSpectrum(br, g, bands_, end, extent, xr);
        extent = requantize(xr, lines, g, sf, bands_, info);
    }
}

void Layer3Decoder::decodeGranule(int granule, int64_t* bitPosition, int16_t* pcm,
                                  SynthesisState& synth) {
    BlockInfo info[2];
    for (int ch = 0; ch < side_.channels; ++ch) {
        const int64_t start = *bitPosition;
        *bitPosition += side_.granule[granule][ch].part23Length;
        decodeChannel(granule, ch, start, &info[ch]);
    }
    if (side_.channels == 2 && (side_.msStereo || side_.intensityStereo)) {
        processJointStereo(side_, {spectrum_[0], &extent_[0], &info[0]},
                           {spectrum_[1], &extent_[1], &info[1]},
                           scaleFactors_[stream_.lsf ? 0 : granule][1],
                           stream_.lsf ? &intensity_ : nullptr, bands_);
    }
    for (int ch = 0; ch < side_.channels; ++ch) {
        reduceAliases(spectrum_[ch], &extent_[ch], info[ch], wideVectors_);
    }
    if (side_.channels == 1 && outputChannels_ == 2) {
        // A single-channel frame in a two-channel stream plays on both sides.
        const int n = std::max(extent_[0], extent_[1]);
        std::memcpy(spectrum_[1], spectrum_[0], sizeof(float) * static_cast<size_t>(n));
        extent_[1] = extent_[0];
        side_.granule[granule][1] = side_.granule[granule][0];
    }

    for (int ch = 0; ch < outputChannels_; ++ch) {
        const GranuleChannelInfo& g = side_.granule[granule][ch];
        const HybridInput in{spectrum_[ch], extent_[ch], g.blockType,
                             g.windowSwitching && g.mixedBlock};
        overlapExtent_[ch] =
            hybridFilter(in, {overlap_[ch], overlapExtent_[ch]}, bands_, hybrid_[ch], wideVectors_);
    }
    if (outputChannels_ == 1) {
        synthesizeLayer3Mono(synth, hybrid_[0], pcm);
    } else {
        synthesizeLayer3Stereo(synth, hybrid_[0], hybrid_[1], pcm);
    }
}

}  // namespace kivo::mpeg
