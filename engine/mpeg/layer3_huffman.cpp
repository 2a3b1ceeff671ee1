#include "layer3_huffman.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "bit_reader.h"
#include "layer3_huffman_tables.h"
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

// Signed values -15..15 as signed |v|^(4/3), by value + 15.
struct SignedPowers {
    float v[31];
};

constexpr SignedPowers makeSignedPowers() {
    SignedPowers p{};
    for (int k = 0; k < 31; ++k) p.v[k] = k < 15 ? -kPowerTable.v[15 - k] : kPowerTable.v[k - 15];
    return p;
}

constexpr SignedPowers kSignedPowers = makeSignedPowers();

// Pairs whose code and sign bits all lie within the first `width` bits (the table's
// first-level peek plus two, at most ten) are read with one look-up: entry = (y + 15) << 10 |
// (x + 15) << 5 | bits to consume, or kSlowPair for the others (longer codes, and values that
// take linbits), which walk the code tree.
constexpr uint32_t kSlowPair = 0x8000;

struct QuickPairs {
    uint16_t entry[10240];
    uint16_t start[32];  // by table_select, where its entries begin
    uint8_t width[32];
};

// The quick entry of the `width`-bit string `bits` in a table.
constexpr uint32_t quickEntry(const HuffmanTable& table, uint32_t bits, int width) {
    auto next = [&](int at, int n) { return (bits >> (width - at - n)) & ((1u << n) - 1); };
    uint32_t e = kHuffmanNodes[table.first + next(0, table.peek)];
    int at = 0;
    if (e & 0x8000) {
        at = table.peek;
        for (;;) {
            const int w = static_cast<int>((e >> 12) & 7) + 1;
            if (at + w > width) return kSlowPair;
            e = kHuffmanNodes[table.first + (e & 0xFFF) + next(at, w)];
            if (!(e & 0x8000)) break;
            at += w;
        }
    }
    const int x = (e >> 4) & 15, y = e & 15;
    const int length = at + static_cast<int>(e >> 8);
    const int total = length + (x != 0) + (y != 0);
    if (total > width || (table.linbits && (x == 15 || y == 15))) return kSlowPair;
    const int sx = x != 0 ? static_cast<int>(next(length, 1)) : 0;
    const int sy = y != 0 ? static_cast<int>(next(length + (x != 0), 1)) : 0;
    return static_cast<uint32_t>((sy ? -y : y) + 15) << 10 |
           static_cast<uint32_t>((sx ? -x : x) + 15) << 5 | static_cast<uint32_t>(total);
}

constexpr QuickPairs makeQuickPairs() {
    QuickPairs t{};
    int used = 0;
    for (int select = 0; select < 32; ++select) {
        const HuffmanTable& table = kHuffmanTables[select];
        if (table.kind == 0) continue;
        // Tables that share their codes share their entries.
        bool shared = false;
        for (int earlier = 0; earlier < select && !shared; ++earlier) {
            const HuffmanTable& other = kHuffmanTables[earlier];
            if (other.kind == table.kind && other.first == table.first) {
                t.start[select] = t.start[earlier];
                t.width[select] = t.width[earlier];
                shared = true;
            }
        }
        if (shared) continue;
        const int width = std::min(table.peek + 2, 10);
        t.start[select] = static_cast<uint16_t>(used);
        t.width[select] = static_cast<uint8_t>(width);
        for (uint32_t bits = 0; bits < (1u << width); ++bits) {
            t.entry[used + bits] = static_cast<uint16_t>(quickEntry(table, bits, width));
        }
        used += 1 << width;
    }
    return t;
}

constexpr QuickPairs kQuickPairs = makeQuickPairs();

// Big-value pairs of lines [i, end) with one table; returns the line reached, short of `end`
// when the loads passed `loadLimit`.
template <bool kLinbits>
int decodePairs(BitReader& reader, int select, const float* pow43, float* xr, const float* factors,
                int i, int end, const uint8_t* loadLimit) {
    BitReader br = reader;  // a local copy stays in registers
    const HuffmanTable& table = kHuffmanTables[select];
    const uint16_t* nodes = kHuffmanNodes + table.first;
    const QuickPairs& q = kQuickPairs;
    const uint16_t* quick = q.entry + q.start[select];
    const int quickWidth = q.width[select];
    const int peek = table.peek;
    const int linbits = table.linbits;
    auto decodePair = [&](int at) __attribute__((always_inline)) {
        const uint32_t fast = quick[br.peek(quickWidth)];
        if (!(fast & kSlowPair)) [[likely]] {
            br.skip(static_cast<int>(fast & 31));
            // The sign rides on the power: (-p) * f is -(p * f), bit for bit.
            xr[at] = kSignedPowers.v[(fast >> 5) & 31] * factors[at];
            xr[at + 1] = kSignedPowers.v[fast >> 10] * factors[at + 1];
            return;
        }
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

// Count1 quadruples by their next ten bits (table A) or eight (table B), code and signs in
// one look-up: entry = lines to the end of its last non-zero value (0, 2 or 4) << 12 | bits to
// consume << 8 | vwxy << 4 | the four bits after the code (its signs, padded), the low byte
// indexing kQuadrupleTable.
struct QuickQuadruples {
    uint16_t a[1024];
    uint16_t b[256];
};

constexpr uint16_t quadrupleEntry(uint32_t vwxy, int codeLength, uint32_t signs) {
    const uint32_t reach = vwxy == 0 ? 0 : (vwxy & 3) ? 4 : 2;
    return static_cast<uint16_t>(reach << 12 | (codeLength + kOnes[vwxy]) << 8 | vwxy << 4 | signs);
}

constexpr QuickQuadruples makeQuickQuadruples() {
    QuickQuadruples q{};
    for (uint32_t bits = 0; bits < 1024; ++bits) {
        const uint32_t e = kCount1TableA[bits >> 4];
        const int length = static_cast<int>(e >> 4);
        q.a[bits] = quadrupleEntry(e & 15, length, (bits >> (6 - length)) & 15);
    }
    for (uint32_t bits = 0; bits < 256; ++bits)
        q.b[bits] = quadrupleEntry(15 - (bits >> 4), 4, bits & 15);
    return q;
}

constexpr QuickQuadruples kQuickQuadruples = makeQuickQuadruples();

// One count1 quadruple into xr[i..i+3]; at most 10 bits, all of them in the cache. Returns
// how far its non-zero values reach (0, 2 or 4).
inline int decodeQuadruple(BitReader& br, const uint16_t* quick, int width, float* xr,
                           const float* factors) {
    const uint32_t e = quick[br.peek(width)];
    (F4::load(kQuadrupleTable.v[e & 0xFF]) * F4::load(factors)).store(xr);
    br.skip(static_cast<int>((e >> 8) & 15));
    return static_cast<int>(e >> 12);
}

// Count1 quadruples from line i while bits of the channel remain before `endBit` and i is
// below `limit`. A quadruple that ends past the bits is dropped. Returns the line reached;
// *extent becomes the end of the last non-zero values.
int decodeQuadruples(BitReader& reader, bool tableB, float* xr, const float* factors, int i,
                     int limit, int64_t endBit, int* extent) {
    BitReader br = reader;
    const uint16_t* quick = tableB ? kQuickQuadruples.b : kQuickQuadruples.a;
    const int width = tableB ? 8 : 10;
    constexpr int kMaxBits = 10;
    int reached = *extent;
    while (i < limit) {
        const int64_t remaining = endBit - br.position();
        if (remaining < (tableB ? 4 : 1)) break;
        if (remaining >= kMaxBits) {
            // These quadruples certainly end within the bits: no checks, a refill every five.
            const int n =
                static_cast<int>(std::min<int64_t>(remaining / kMaxBits, (limit - i + 3) / 4));
            for (int k = 0; k < n; ++k, i += 4) {
                if (k % 5 == 0) br.refill();
                const int reach = decodeQuadruple(br, quick, width, xr + i, factors + i);
                reached = reach ? i + reach : reached;
            }
            continue;
        }
        br.refill();
        const int reach = decodeQuadruple(br, quick, width, xr + i, factors + i);
        if (br.position() > endBit) {
            clearLines(xr, i, i + 4);
            i += 4;
            break;
        }
        reached = reach ? i + reach : reached;
        i += 4;
    }
    *extent = reached;
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
        const int select = g.tableSelect[r] & 31;
        const HuffmanTable& table = kHuffmanTables[select];
        if (table.kind == 0) {
            clearLines(xr, i, end);
            i = end;
        } else if (table.linbits == 0) {
            i = decodePairs<false>(br, select, pow43, xr, factors, i, end, loadLimit);
        } else {
            i = decodePairs<true>(br, select, pow43, xr, factors, i, end, loadLimit);
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
