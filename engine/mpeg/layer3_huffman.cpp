#include "layer3_huffman.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "bit_reader.h"
#include "layer3_types.h"
#include "simd4.h"

namespace kivo::mpeg {

namespace {

// |v|^(4/3) for every value the spectrum can code, worked out by the compiler (Newton's
// method in extended precision, each root starting from the one before) so that no process
// pays for eight thousand cube roots at start.
struct PowerTable {
    float v[kMaxHuffmanValue + 1];
};

constexpr PowerTable makePowerTable() {
    PowerTable t{};
    long double root = 1.0L;
    for (int i = 1; i <= kMaxHuffmanValue; ++i) {
        const long double x = i;
        for (int step = 0; step < 6; ++step) root -= (root * root * root - x) / (3 * root * root);
        t.v[i] = static_cast<float>(root * x);
    }
    return t;
}

constexpr PowerTable kPowerTable = makePowerTable();

// Count1 quadruples ready to store, by [vwxy][their sign bits, first one highest, padded to
// four bits].
struct QuadrupleTable {
    alignas(16) float v[16 * 16][4];
};

constexpr QuadrupleTable makeQuadrupleTable() {
    QuadrupleTable t{};
    for (int vwxy = 0; vwxy < 16; ++vwxy) {
        for (int signs = 0; signs < 16; ++signs) {
            int next = 3;  // the sign bit for the next non-zero value
            for (int k = 0; k < 4; ++k) {
                float value = 0.0f;
                if (vwxy & (8 >> k)) value = (signs >> next--) & 1 ? -1.0f : 1.0f;
                t.v[vwxy * 16 + signs][k] = value;
            }
        }
    }
    return t;
}

constexpr QuadrupleTable kQuadrupleTable = makeQuadrupleTable();

struct UnitFactors {
    float v[kGranuleLines + 8];
};

constexpr UnitFactors makeUnitFactors() {
    UnitFactors u{};
    for (float& f : u.v) f = 1.0f;
    return u;
}

constexpr UnitFactors kUnitFactors = makeUnitFactors();

// Non-zero values of a quadruple, by vwxy.
constexpr uint8_t kOnes[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};

// Tolerated overrun of part2_3_length before the channel's granule counts as broken.
constexpr int kGuardSlackBits = 16;

inline float withSign(float magnitude, uint32_t negative) {
    return std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) | (negative << 31));
}

void clearLines(float* xr, int from, int to) {
    if (to > from) std::memset(xr + from, 0, sizeof(float) * static_cast<size_t>(to - from));
}

// Big-value pairs of lines [i, end) with one table; returns the line reached, short of `end`
// when the loads passed `loadLimit`.
template <bool kLinbits>
int decodePairs(BitReader& reader, const HuffmanTable& table, const float* pow43, float* xr,
                const float* factors, int i, int end, const uint8_t* loadLimit) {
    BitReader br = reader;  // a local copy stays in registers
    const uint16_t* nodes = kHuffmanNodes + table.first;
    const int peek = table.peek;
    const int linbits = table.linbits;
    auto decodePair = [&](int at) __attribute__((always_inline)) {
        uint32_t e = nodes[br.peek(peek)];
        if (e & 0x8000) {
            br.skip(peek);
            for (;;) {
                const int w = static_cast<int>((e >> 12) & 7) + 1;
                e = nodes[(e & 0xFFF) + br.peek(w)];
                if (!(e & 0x8000)) break;
                br.skip(w);
            }
        }
        br.skip(static_cast<int>(e >> 8));
        uint32_t x = (e >> 4) & 15;
        uint32_t y = e & 15;
        if (kLinbits && x == 15) x += br.take(linbits);
        xr[at] = withSign(pow43[x] * factors[at], br.takeSignIf(x != 0));
        if (kLinbits && y == 15) y += br.take(linbits);
        xr[at + 1] = withSign(pow43[y] * factors[at + 1], br.takeSignIf(y != 0));
    };
    for (; i < end; i += 2) {
        // One refill covers the longest pair with linbits (17 code bits + 2 x 14) or two
        // pairs without (2 x (19 + 2)).
        br.refill();
        decodePair(i);
        if (!kLinbits && i + 2 < end) {
            i += 2;
            decodePair(i);
        }
        if (br.loadPointer() > loadLimit) {
            i += 2;
            break;
        }
    }
    reader = br;
    return i;
}

// One count1 quadruple into xr[i..i+3]; at most 10 bits, all of them in the cache.
inline uint32_t decodeQuadruple(BitReader& br, bool tableB, const float* quads, float* xr,
                                const float* factors) {
    uint32_t vwxy;
    if (tableB) {
        vwxy = 15 - br.take(4);
    } else {
        const uint32_t e = kCount1TableA[br.peek(6)];
        br.skip(static_cast<int>(e >> 4));
        vwxy = e & 15;
    }
    // All sign bits at once: the table ignores the ones past this quadruple's.
    (F4::load(quads + 4 * (vwxy * 16 + br.peek(4))) * F4::load(factors)).store(xr);
    br.skip(kOnes[vwxy]);
    return vwxy;
}

// Count1 quadruples from line i while bits of the channel remain before `endBit` and i is
// below `limit`. A quadruple that ends past the bits is dropped. Returns the line reached;
// *extent becomes the end of the last non-zero values.
int decodeQuadruples(BitReader& reader, bool tableB, float* xr, const float* factors, int i,
                     int limit, int64_t endBit, int* extent) {
    BitReader br = reader;
    const float* quads = kQuadrupleTable.v[0];
    constexpr int kMaxBits = 10;
    while (i < limit) {
        const int64_t remaining = endBit - br.position();
        if (remaining < (tableB ? 4 : 1)) break;
        if (remaining >= kMaxBits) {
            // These quadruples certainly end within the bits: no checks, a refill every five.
            const int n =
                static_cast<int>(std::min<int64_t>(remaining / kMaxBits, (limit - i + 3) / 4));
            for (int k = 0; k < n; ++k, i += 4) {
                if (k % 5 == 0) br.refill();
                const uint32_t vwxy = decodeQuadruple(br, tableB, quads, xr + i, factors + i);
                if (vwxy) *extent = i + ((vwxy & 3) ? 4 : 2);
            }
            continue;
        }
        br.refill();
        const uint32_t vwxy = decodeQuadruple(br, tableB, quads, xr + i, factors + i);
        if (br.position() > endBit) {
            clearLines(xr, i, i + 4);
            i += 4;
            break;
        }
        if (vwxy) *extent = i + ((vwxy & 3) ? 4 : 2);
        i += 4;
    }
    reader = br;
    return i;
}

}  // namespace

int decodeSpectrum(BitReader& br, const GranuleChannelInfo& g, const BandLayout& bands,
                   int64_t endBit, int staleLines, float* xr, const float* factors) {
    const float* pow43 = kPowerTable.v;
    if (factors == nullptr) factors = kUnitFactors.v;
    const int lineLimit = bands.lineLimit;
    const int64_t guardBit = endBit + kGuardSlackBits;
    if (g.bigValues > kGranuleLines / 2 || br.position() > endBit) {
        clearLines(xr, 0, std::max(staleLines, 0));
        return 0;
    }

    // Big values, in up to three regions with their own tables.
    const int bigLines = std::min(2 * g.bigValues, lineLimit);
    auto regionStart = [&](int band) {
        return std::min(band <= 22 ? static_cast<int>(bands.longBounds[band]) : kGranuleLines,
                        bigLines);
    };
    const int region1 = regionStart(g.region0Count + 1);
    const int region2 = std::max(region1, regionStart(g.region0Count + g.region1Count + 2));
    const int regionEnd[3] = {region1, region2, bigLines};

    // Reads stop once the loads run well past the guard; the exact test follows the loop.
    const uint8_t* loadLimit = br.loadPointer() + ((guardBit - br.position()) >> 3) + 16;
    int i = 0;
    for (int r = 0; r < 3; ++r) {
        const int end = regionEnd[r];
        if (i >= end) continue;
        const HuffmanTable& table = kHuffmanTables[g.tableSelect[r] & 31];
        if (table.kind == 0) {
            clearLines(xr, i, end);
            i = end;
        } else if (table.linbits == 0) {
            i = decodePairs<false>(br, table, pow43, xr, factors, i, end, loadLimit);
        } else {
            i = decodePairs<true>(br, table, pow43, xr, factors, i, end, loadLimit);
        }
        if (i < end) break;
    }
    if (i < bigLines || br.position() > guardBit) {
        clearLines(xr, 0, std::max(staleLines, i));
        return 0;
    }

    int extent = bigLines;
    i = decodeQuadruples(br, g.count1Table != 0, xr, factors, i, lineLimit, endBit, &extent);

    const int bandEnd = g.blockType == 2 ? bands.shortEnd : bands.longEnd;
    const int nonZero = std::min({extent, bandEnd, lineLimit});
    clearLines(xr, nonZero, std::max(i, staleLines));
    return nonZero;
}

const float* powerFourThirds() {
    return kPowerTable.v;
}

}  // namespace kivo::mpeg
