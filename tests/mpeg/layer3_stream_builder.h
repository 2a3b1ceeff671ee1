// Builds Layer III frames bit by bit for the decoder tests: header, side information and main
// data laid out through the bit reservoir as an encoder would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "mpeg/decoder_ops.h"
#include "mpeg/frame_length.h"
#include "mpeg/layer3_decoder.h"

namespace kivo::mpeg::test {

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) bits_.push_back((value >> i) & 1 ? '1' : '0');
    }
    void put(const std::string& bits) { bits_ += bits; }
    const std::string& bits() const { return bits_; }

private:
    std::string bits_;
};

inline std::vector<uint8_t> packBits(const std::string& bits) {
    std::vector<uint8_t> out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i) {
        if (bits[i] == '1') out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    return out;
}

// Code words of table 1 (values 0 and 1) and the value's sign bit.
inline std::string table1Pair(int x, int y) {
    static const char* kCodes[2][2] = {{"1", "001"}, {"01", "000"}};
    std::string s = kCodes[x != 0][y != 0];
    if (x) s += x < 0 ? "1" : "0";
    if (y) s += y < 0 ? "1" : "0";
    return s;
}

struct GranulePlan {
    int bigValues = 0;
    int globalGain = 150;
    int scalefacCompress = 0;
    bool windowSwitching = false;
    int blockType = 0;
    bool mixed = false;
    int tableSelect[3] = {0, 0, 0};
    int subblockGain[3] = {0, 0, 0};
    int region0Count = 15;
    int region1Count = 7;
    int preflag = 0;
    int scalefacScale = 0;
    int count1Table = 0;
    std::string mainBits;   // scale factors and Huffman data
    int part23Length = -1;  // -1: the length of mainBits
};

struct FramePlan {
    int version = 1;  // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG 2.5
    int rateIndex = 0;
    int bitrateIndex = 9;
    int mode = 3;
    int modeExtension = 0;
    int padding = 0;
    bool crc = false;
    int mainDataBegin = 0;
    int scfsi[2] = {0, 0};
    GranulePlan granule[2][2];  // [granule][channel]
    int freeFormatBytes = 0;    // frame length without padding when bitrateIndex is 0

    bool lsf() const { return version != 1; }
    int channels() const { return mode == 3 ? 1 : 2; }
    int granules() const { return lsf() ? 1 : 2; }
    int sideInfoBytes() const {
        return lsf() ? (channels() == 1 ? 9 : 17) : (channels() == 1 ? 17 : 32);
    }
    std::vector<uint8_t> headerBytes() const {
        const uint8_t b1 = static_cast<uint8_t>((version == 25 ? 0xE0 : 0xF0) |
                                                (version == 1 ? 8 : 0) | (1 << 1) | (crc ? 0 : 1));
        return {0xFF, b1, static_cast<uint8_t>(bitrateIndex << 4 | rateIndex << 2 | padding << 1),
                static_cast<uint8_t>(mode << 6 | modeExtension << 4)};
    }
    FrameHeader header() const { return parseFrameHeader(headerBytes().data()); }
    int frameBytes() const {
        const int base = bitrateIndex == 0 ? freeFormatBytes : frameLengthOf(header());
        return base + padding;
    }
};

// Side information of one frame as bits.
inline std::string sideInfoBits(const FramePlan& f) {
    BitWriter w;
    const int nch = f.channels();
    if (f.lsf()) {
        w.put(f.mainDataBegin, 8);
        w.put(0, nch == 1 ? 1 : 2);
    } else {
        w.put(f.mainDataBegin, 9);
        w.put(0, nch == 1 ? 5 : 3);
        for (int ch = 0; ch < nch; ++ch) w.put(f.scfsi[ch], 4);
    }
    for (int gr = 0; gr < f.granules(); ++gr) {
        for (int ch = 0; ch < nch; ++ch) {
            const GranulePlan& g = f.granule[gr][ch];
            const int length =
                g.part23Length >= 0 ? g.part23Length : static_cast<int>(g.mainBits.size());
            w.put(length, 12);
            w.put(g.bigValues, 9);
            w.put(g.globalGain, 8);
            w.put(g.scalefacCompress, f.lsf() ? 9 : 4);
            w.put(g.windowSwitching, 1);
            if (g.windowSwitching) {
                w.put(g.blockType, 2);
                w.put(g.mixed, 1);
                w.put(g.tableSelect[0], 5);
                w.put(g.tableSelect[1], 5);
                for (int i = 0; i < 3; ++i) w.put(g.subblockGain[i], 3);
            } else {
                for (int i = 0; i < 3; ++i) w.put(g.tableSelect[i], 5);
                w.put(g.region0Count, 4);
                w.put(g.region1Count, 3);
            }
            if (!f.lsf()) w.put(g.preflag, 1);
            w.put(g.scalefacScale, 1);
            w.put(g.count1Table, 1);
        }
    }
    return w.bits();
}

// A stream of frames whose main data goes through the reservoir: each frame's main data starts
// mainDataBegin bytes before the end of the main data of the frames before it. A frame that
// points back further than the stream holds has its main data dropped (a stream cut there).
inline std::vector<uint8_t> buildStream(const std::vector<FramePlan>& frames) {
    std::vector<uint8_t> mainData;  // the main-data slots of all frames, end to end
    std::vector<int> slotStart;
    for (const FramePlan& f : frames) {
        const int slot = f.frameBytes() - 4 - (f.crc ? 2 : 0) - f.sideInfoBytes();
        const int start = static_cast<int>(mainData.size());
        slotStart.push_back(start);
        mainData.resize(mainData.size() + static_cast<size_t>(slot), 0);
        std::string bits;
        for (int gr = 0; gr < f.granules(); ++gr) {
            for (int ch = 0; ch < f.channels(); ++ch) bits += f.granule[gr][ch].mainBits;
        }
        const int begin = start - f.mainDataBegin;
        if (begin < 0) continue;
        const std::vector<uint8_t> bytes = packBits(bits);
        for (size_t i = 0; i < bytes.size() && begin + i < mainData.size(); ++i) {
            mainData[static_cast<size_t>(begin) + i] = bytes[i];
        }
    }
    std::vector<uint8_t> out;
    for (size_t n = 0; n < frames.size(); ++n) {
        const FramePlan& f = frames[n];
        const std::vector<uint8_t> head = f.headerBytes();
        out.insert(out.end(), head.begin(), head.end());
        if (f.crc) out.insert(out.end(), {0x12, 0x34});
        const std::vector<uint8_t> side = packBits(sideInfoBits(f));
        out.insert(out.end(), side.begin(), side.end());
        const int slot = f.frameBytes() - 4 - (f.crc ? 2 : 0) - f.sideInfoBytes();
        out.insert(out.end(), mainData.begin() + slotStart[n],
                   mainData.begin() + slotStart[n] + slot);
    }
    return out;
}

// A loud long-block granule: `pairs` pairs of +-1 with table 1, alternating signs.
inline GranulePlan loudGranule(int pairs, int globalGain = 170) {
    GranulePlan g;
    g.bigValues = pairs;
    g.globalGain = globalGain;
    g.tableSelect[0] = g.tableSelect[1] = g.tableSelect[2] = 1;
    for (int i = 0; i < pairs; ++i) g.mainBits += table1Pair(i & 1 ? -1 : 1, 1);
    return g;
}

// The band layout a stream of this version and rate decodes with (full frequency range).
inline BandLayout layoutFor(int version, int rateIndex = 0) {
    FramePlan f;
    f.version = version;
    f.rateIndex = rateIndex;
    auto decoder = std::make_unique<Layer3Decoder>();
    auto synth = std::make_unique<SynthesisState>();
    PcmFormat format;
    decoder->init(f.header(), 0, 24000, &format, *synth);
    return decoder->bands();
}

}  // namespace kivo::mpeg::test
