// Huffman decoding of the Layer III spectrum: big values and count1 quadruples.
#pragma once

#include <cstdint>

namespace kivo::mpeg {

// The largest value the spectrum can code: 15 plus 13 linbits.
inline constexpr int kMaxHuffmanValue = 15 + 8191;

struct HuffmanTable {
    uint16_t first;  // index of the table's first node in kHuffmanNodes
    uint8_t peek;    // first-level peek width
    uint8_t linbits;
    uint8_t kind;  // 0 all zero, 1 single-level, 2 multi-level, 3 multi-level with linbits
};

// The tables themselves are in layer3_huffman_tables.h. Node: leaf = bits to consume << 8 |
// x << 4 | y; link = 0x8000 | (width - 1) << 12 | offset of the sub-table from the table's
// first node.

// Decodes the spectrum of one channel of a granule from `br` (positioned after the scale
// factors) into xr as signed |v|^(4/3), reading no further than `endBit` (its
// part2_3_length end) plus a little slack. `staleLines` is how far xr may still hold older
// data; everything from the returned NonZeroExtent up to there is cleared. Implausible side
// information or data that overruns its end silences the channel (result 0).
struct GranuleChannelInfo;
struct BandLayout;
class BitReader;
// Each value is multiplied by factors[line] (at least lineLimit + 4 of them) when given.
int decodeSpectrum(BitReader& br, const GranuleChannelInfo& g, const BandLayout& bands,
                   int64_t endBit, int staleLines, float* xr, const float* factors = nullptr);

// |v|^(4/3) for v = 0..kMaxHuffmanValue, the factors the spectrum's values are read with.
const float* powerFourThirds();

}  // namespace kivo::mpeg
