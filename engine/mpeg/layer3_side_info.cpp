#include "layer3_side_info.h"

#include <cstring>

#include "bit_reader.h"
#include "frame_length.h"

namespace kivo::mpeg {

namespace {

void readGranuleChannel(BitReader& br, bool lsf, bool msStereo, GranuleChannelInfo* g) {
    g->part23Length = static_cast<int32_t>(br.read(12));
    g->bigValues = static_cast<int32_t>(br.read(9));
    g->globalGain = static_cast<int32_t>(br.read(8)) - (msStereo ? 2 : 0);
    g->scalefacCompress = static_cast<int32_t>(br.read(lsf ? 9 : 4));
    g->windowSwitching = static_cast<int32_t>(br.read(1));
    if (g->windowSwitching) {
        g->blockType = static_cast<int32_t>(br.read(2));
        g->mixedBlock = static_cast<int32_t>(br.read(1));
        g->tableSelect[0] = static_cast<int32_t>(br.read(5));
        g->tableSelect[1] = static_cast<int32_t>(br.read(5));
        g->tableSelect[2] = 0;
        for (int w = 0; w < 3; ++w) g->subblockGain[w] = static_cast<int32_t>(br.read(3));
        const bool shortLsf = lsf && g->blockType == 2;
        g->region0Count = shortLsf ? 5 : 7;
        g->region1Count = shortLsf ? 15 : 13;
    } else {
        g->blockType = 0;
        g->mixedBlock = 0;
        for (int r = 0; r < 3; ++r) g->tableSelect[r] = static_cast<int32_t>(br.read(5));
        for (int w = 0; w < 3; ++w) g->subblockGain[w] = 0;
        g->region0Count = static_cast<int32_t>(br.read(4));
        g->region1Count = static_cast<int32_t>(br.read(3));
    }
    g->preflag = lsf ? 0 : static_cast<int32_t>(br.read(1));
    g->scalefacScale = static_cast<int32_t>(br.read(1));
    g->count1Table = static_cast<int32_t>(br.read(1));
}

}  // namespace

bool parseLayer3SideInfo(const uint8_t* frame, size_t available, const Layer3StreamInfo& stream,
                         FrameSideInfo* out) {
    if (available < 4 || frame[0] != 0xFF) return false;
    const bool sync25 = (frame[1] & 0xF0) == 0xE0;
    if ((frame[1] & 0xF0) != 0xF0 && !sync25) return false;
    const FrameHeader h = parseFrameHeader(frame);
    // The MPEG-1 path knows only the full sync word; the LSF path takes MPEG-2 and MPEG 2.5,
    // but only the one the stream started with, since the band tables depend on it.
    if (stream.lsf) {
        if (h.id != 0 || sync25 != stream.mpeg25) return false;
    } else if (sync25 || h.id != 1) {
        return false;
    }
    if (h.layerCode != kLayerIII || h.bitrateIndex == 15 ||
        h.sampleRateIndex != stream.sampleRateIndex) {
        return false;
    }

    int base = h.bitrateIndex == 0 ? stream.freeFormatBytes : frameLengthOf(h);
    if (base <= 0) return false;
    out->frameBytes = base + h.padding;
    if (static_cast<size_t>(out->frameBytes) > available) return false;

    out->lsf = stream.lsf;
    out->mpeg25 = sync25;
    out->sampleRateIndex = h.sampleRateIndex;
    out->mode = h.mode;
    out->channels = h.mode == 3 ? 1 : 2;
    out->msStereo = h.mode == 1 && (h.modeExtension & 2);
    out->intensityStereo = h.mode == 1 && (h.modeExtension & 1);
    out->crcBytes = h.protectionBit ? 0 : 2;  // the CRC is skipped unchecked
    const bool mono = out->channels == 1;
    out->sideInfoBytes = stream.lsf ? (mono ? 13 : 21) : (mono ? 21 : 36);
    if (out->frameBytes < out->sideInfoBytes + out->crcBytes) return false;

    // Copy the side information so the reader may run over its padded end.
    uint8_t side[48] = {};
    std::memcpy(side, frame + 4 + out->crcBytes, out->sideInfoBytes - 4);
    BitReader br(side, 0);
    if (stream.lsf) {
        out->mainDataBegin = static_cast<int>(br.read(8));
        br.read(mono ? 1 : 2);
        out->scfsi[0] = out->scfsi[1] = 0;
        for (int ch = 0; ch < out->channels; ++ch) {
            readGranuleChannel(br, true, out->msStereo, &out->granule[0][ch]);
        }
    } else {
        out->mainDataBegin = static_cast<int>(br.read(9));
        br.read(mono ? 5 : 3);
        for (int ch = 0; ch < out->channels; ++ch) out->scfsi[ch] = static_cast<int>(br.read(4));
        for (int gr = 0; gr < 2; ++gr) {
            for (int ch = 0; ch < out->channels; ++ch) {
                readGranuleChannel(br, false, out->msStereo, &out->granule[gr][ch]);
            }
        }
    }
    return true;
}

}  // namespace kivo::mpeg
