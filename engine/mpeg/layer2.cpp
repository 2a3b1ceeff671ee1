// Layer II frame decoding. Per frame an entry list is built from the bit allocation (one entry
// per subband and channel, in bitstream order), filled with scale-factor selections and the
// per-part factors; every entry takes the same bits in each of the twelve granules (three
// parts of four), so they are then read kind by kind from each granule's start. Entries at and
// above the subband limit are read for their allocation and scale factors but their samples are
// skipped with one precomputed bit count per granule.
//
// The frame is read from a zero-padded copy: bits past its end read as zero and are noticed.
// Damage in the allocation or scale factors silences the frame; samples that run past the end
// silence the granule where that happens and the rest of the frame.
#include "layer2.h"

#include <algorithm>
#include <cstring>

#include "bit_reader.h"
#include "frame_length.h"
#include "layer2_tables.h"

namespace kivo::mpeg {
namespace {

// Three-digit codes of the grouped classes, least significant digit first, each digit less
// the middle level. Codes the level count cannot produce give three zeros.
struct GroupedDigits {
    int8_t three[32][3];
    int8_t five[128][3];
    int8_t nine[1024][3];
};

template <size_t N>
constexpr void splitCodes(int8_t (&table)[N][3], int base) {
    const int codes = base * base * base;
    for (int c = 0; c < codes; ++c) {
        table[c][0] = static_cast<int8_t>(c % base - base / 2);
        table[c][1] = static_cast<int8_t>(c / base % base - base / 2);
        table[c][2] = static_cast<int8_t>(c / (base * base) % base - base / 2);
    }
}

constexpr GroupedDigits makeGroupedDigits() {
    GroupedDigits g{};
    splitCodes(g.three, 3);
    splitCodes(g.five, 5);
    splitCodes(g.nine, 9);
    return g;
}

constexpr GroupedDigits kGroupedDigits = makeGroupedDigits();

// How an entry's samples are read: bit 0 grouped codes, bit 1 joint (fills the right channel's
// cell too); kZero entries read nothing.
enum Kind : uint8_t { kPlain = 0, kGrouped = 1, kJointPlain = 2, kJointGrouped = 3, kZero = 4 };
inline bool isGrouped(Kind k) {
    return (k & kGrouped) != 0;
}
inline bool isJoint(Kind k) {
    return (k & kJointPlain) != 0;
}

struct Entry {
    Kind kind;
    uint8_t cls;
    uint8_t bits;    // per plain sample, or per grouped code
    uint16_t cell;   // float index within a slot of the block
    int32_t middle;  // (levels - 1) / 2, subtracted from plain codes
    const int8_t (*digits)[3];
    float factor[3];  // per part: scale factor times 2 / levels
};

constexpr int kMaxEntries = 64;

// How one class is read: grouped classes take one code for three samples.
inline void describeClass(Entry& e, int cls, bool joint) {
    e.cls = static_cast<uint8_t>(cls);
    e.digits = nullptr;
    e.middle = 0;
    e.bits = 0;
    switch (cls) {
        case 0:
            e.kind = kZero;
            return;
        case 1:
            e.digits = kGroupedDigits.three;
            e.bits = 5;
            break;
        case 2:
            e.digits = kGroupedDigits.five;
            e.bits = 7;
            break;
        case 4:
            e.digits = kGroupedDigits.nine;
            e.bits = 10;
            break;
        default:
            e.bits = static_cast<uint8_t>(cls == 3 ? 3 : cls - 1);
            e.middle = (kLayer2ClassLevels[cls] - 1) / 2;
            break;
    }
    if (e.digits) {
        e.kind = joint ? kJointGrouped : kGrouped;
    } else {
        e.kind = joint ? kJointPlain : kPlain;
    }
}

inline float classFactor(int cls) {
    return 2.0f / static_cast<float>(kLayer2ClassLevels[cls]);
}

// The frame's bit allocation as entries in bitstream order.
struct Allocation {
    Entry entry[kMaxEntries];
    int count = 0;
    int decoded = 0;       // entries below the subband limit
    int64_t skipBits = 0;  // per granule, of the entries at and above the limit
};

// Subbands below the joint-stereo bound carry one allocation per channel, those above one for
// both channels.
void readAllocation(BitReader& br, const Layer2AllocationTable& table, int channels, int bound,
                    int subbandLimit, Allocation& a) {
    int sb = 0;
    for (const Layer2AllocationGroup& group : table.group) {
        for (int i = 0; i < group.subbands; ++i, ++sb) {
            const bool joint = sb >= bound;
            int granuleBits = 0;
            for (int ch = 0; ch < channels; ++ch) {
                const int cls = joint && ch == 1 ? a.entry[a.count - 1].cls
                                                 : group.classOf[br.read(group.bits)];
                Entry& e = a.entry[a.count++];
                describeClass(e, cls, joint && ch == 0);
                e.cell = static_cast<uint16_t>(channels == 2 ? 2 * sb + ch : sb);
                if (!(joint && ch == 1)) granuleBits += kLayer2GranuleBits[cls];
            }
            if (sb < subbandLimit) {
                a.decoded = a.count;
            } else {
                a.skipBits += granuleBits;
            }
        }
    }
}

// The scale-factor selection of every entry that has samples, then its scale factors, folded
// with the class step into one factor per part.
void readScaleFactors(BitReader& br, Allocation& a) {
    uint8_t selection[kMaxEntries];
    for (int e = 0; e < a.count; ++e) selection[e] = a.entry[e].cls ? br.read(2) : 0;
    for (int e = 0; e < a.count; ++e) {
        Entry& en = a.entry[e];
        if (!en.cls) {
            en.factor[0] = en.factor[1] = en.factor[2] = 0.0f;
            continue;
        }
        int index[3];
        index[0] = br.read(6);
        switch (selection[e]) {
            case 0:
                index[1] = br.read(6);
                index[2] = br.read(6);
                break;
            case 1:
                index[1] = index[0];
                index[2] = br.read(6);
                break;
            case 2:
                index[1] = index[2] = index[0];
                break;
            default:
                index[1] = index[2] = br.read(6);
                break;
        }
        const float c = classFactor(en.cls);
        for (int part = 0; part < 3; ++part) en.factor[part] = kLayer2ScaleFactors[index[part]] * c;
    }
}

// An entry that reads samples, and where its samples begin within each granule: every entry
// takes the same bits in every granule, so the entries can be read kind by kind, each loop
// free of branches on the kind, from the granule's start.
struct SampleReader {
    const Entry* entry;
    int32_t offset;  // bits from the granule's start
};

// The 64 bits from bit `position` of `base` (at least 57 of them meaningful), first bit highest.
inline uint64_t bitsAt(const uint8_t* base, int64_t position) {
    uint64_t v;
    std::memcpy(&v, base + (position >> 3), 8);
    return __builtin_bswap64(v) << (position & 7);
}

// Three samples of each entry of one kind into three consecutive slots; a joint entry also
// fills the right channel's cell (the next entry) with that entry's factor.
template <bool kGroupedCodes, bool kJoint>
inline void readGranule(const SampleReader* readers, int count, const uint8_t* base,
                        int64_t granuleStart, int part, float* row) {
    constexpr int kNext = Layer2Decoder::kSlotFloats;
    for (int i = 0; i < count; ++i) {
        const Entry* e = readers[i].entry;
        const uint64_t bits = bitsAt(base, granuleStart + readers[i].offset);
        const int n = e->bits;  // plain: 2 to 16 per sample; grouped: 5, 7 or 10 per code
        float v0, v1, v2;
        if constexpr (kGroupedCodes) {
            const int8_t* d = e->digits[bits >> (64 - n)];
            v0 = d[0];
            v1 = d[1];
            v2 = d[2];
        } else {
            v0 = static_cast<float>(static_cast<int32_t>(bits >> (64 - n)) - e->middle);
            v1 = static_cast<float>(static_cast<int32_t>((bits << n) >> (64 - n)) - e->middle);
            v2 = static_cast<float>(static_cast<int32_t>((bits << 2 * n) >> (64 - n)) - e->middle);
        }
        float* cell = row + e->cell;
        const float f = e->factor[part];
        cell[0] = v0 * f;
        cell[kNext] = v1 * f;
        cell[2 * kNext] = v2 * f;
        if constexpr (kJoint) {
            const float r = e[1].factor[part];
            cell[1] = v0 * r;
            cell[kNext + 1] = v1 * r;
            cell[2 * kNext + 1] = v2 * r;
        }
    }
}

// The samples of every granule into `block`, read from `base` (the frame copy) from bit
// `position`. Returns the first slot that holds no decoded samples: 0 when the allocation or
// scale factors already ran past `endBit`, else the granule whose samples run past it, else
// kSlots.
int readSamples(const uint8_t* base, int64_t position, const Allocation& a, int64_t endBit,
                float* block, uint64_t& liveCells) {
    constexpr int kSlots = Layer2Decoder::kSlots;
    constexpr int kSlotFloats = Layer2Decoder::kSlotFloats;
    if (position > endBit) return 0;
    // Cells without samples are cleared once (when they hold old samples); the granule loops
    // visit only entries that read samples (the right half of a joint pair is filled by its
    // left half), sorted by kind.
    SampleReader readers[4][kMaxEntries];
    int count[4] = {};
    int64_t granuleBits = 0;
    for (int e = 0; e < a.decoded; ++e) {
        const Entry& en = a.entry[e];
        const uint64_t bit = uint64_t{1} << en.cell;
        if (en.kind == kZero) {
            if (liveCells & bit) {
                for (int slot = 0; slot < kSlots; ++slot) block[slot * kSlotFloats + en.cell] = 0;
                liveCells &= ~bit;
            }
        } else {
            readers[en.kind][count[en.kind]++] = {&en, static_cast<int32_t>(granuleBits)};
            granuleBits += isGrouped(en.kind) ? en.bits : 3 * en.bits;
            liveCells |= bit;
            if (isJoint(en.kind)) {
                liveCells |= bit << 1;
                ++e;
            }
        }
    }
    granuleBits += a.skipBits;
    for (int slot = 0; slot < kSlots; slot += 3) {
        const int part = slot / 12;
        float* row = block + slot * kSlotFloats;
        readGranule<false, false>(readers[kPlain], count[kPlain], base, position, part, row);
        readGranule<true, false>(readers[kGrouped], count[kGrouped], base, position, part, row);
        readGranule<false, true>(readers[kJointPlain], count[kJointPlain], base, position, part,
                                 row);
        readGranule<true, true>(readers[kJointGrouped], count[kJointGrouped], base, position, part,
                                row);
        position += granuleBits;
        if (position > endBit) return slot;
    }
    return kSlots;
}

// The most bits one frame can make the reader consume: header, CRC, allocation, selections,
// scale factors and twelve granules of 16-bit samples in every entry. The frame copy holds
// that much and the reader's look-ahead, so that reading never leaves it.
constexpr int64_t kMostFrameBits =
    32 + 16 + 32 * 2 * 4 + kMaxEntries * 2 + kMaxEntries * 3 * 6 + 12 * kMaxEntries * 3 * 16;
static_assert(Layer2Decoder::kFrameCopyBytes >= kMostFrameBits / 8 + 16);

}  // namespace

int32_t Layer2Decoder::init(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit,
                            PcmFormat* format, SynthesisState& synth) {
    table_ = nullptr;
    // Only real Layer II headers: MPEG 2.5 has no Layer II, and a frame must hold its header.
    if (header.layerCode != kLayerII || header.syncKind != 1 || (header.id & ~1) != 0 ||
        header.sampleRateIndex < 0 || header.sampleRateIndex > 2 || header.bitrateIndex < 0 ||
        header.bitrateIndex > 14 || header.mode < 0 || header.mode > 3 || frameBytes < 4) {
        return 0;
    }
    frequencyLimit_ = frequencyLimit;
    if (!chooseTable(header)) return 0;
    const bool single = header.mode == 3;
    const int64_t rate = sampleRateOf(header);
    frameBytes_ = frameBytes;
    channels_ = single ? 1 : 2;
    id_ = header.id;
    bitrateIndex_ = header.bitrateIndex;
    sampleRateIndex_ = header.sampleRateIndex;

    std::memset(block_, 0, sizeof block_);
    liveCells_ = 0;
    synth.clear();
    if (format) {
        format->channels = channels_;
        format->valuesPerFrame = 1152 * channels_;
        format->sampleRate = static_cast<int32_t>(rate);
        format->bitsPerSample = 16;
        format->frameBytes = frameBytes;
        format->reserved = 0;
    }
    return 1;
}

bool Layer2Decoder::chooseTable(const FrameHeader& header) {
    const bool single = header.mode == 3;
    const int choice =
        header.id == 0 ? 4
                       : kLayer2TableChoice[single][header.sampleRateIndex][header.bitrateIndex];
    if (choice < 0) return false;
    table_ = &kLayer2AllocationTables[choice];
    const int64_t rate = sampleRateOf(header);
    const int64_t limit = std::max<int64_t>(frequencyLimit_, 1000);
    subbandLimit_ = static_cast<int32_t>(
        std::min<int64_t>({(rate / 2 + limit * 64) / rate, 31, table_->subbands}));
    return true;
}

bool Layer2Decoder::followBitrate(const FrameHeader& h) {
    FrameHeader same = h;
    same.bitrateIndex = bitrateIndex_;
    // Free format cannot change its bitrate, and index 15 is none.
    if (bitrateIndex_ == 0 || h.bitrateIndex == 0 || h.bitrateIndex == 15 ||
        !belongsToStream(same)) {
        return false;
    }
    const Layer2AllocationTable* const table = table_;
    const int32_t limit = subbandLimit_;
    if (!chooseTable(h)) {
        table_ = table;
        subbandLimit_ = limit;
        return false;
    }
    frameBytes_ = frameLengthOf(h);
    bitrateIndex_ = h.bitrateIndex;
    return true;
}

bool Layer2Decoder::belongsToStream(const FrameHeader& h) const {
    return h.syncKind == 1 && h.id == id_ && h.layerCode == kLayerII &&
           h.bitrateIndex == bitrateIndex_ && h.sampleRateIndex == sampleRateIndex_ &&
           (h.mode == 3 ? 1 : 2) == channels_;
}

FrameResult Layer2Decoder::decodeFrame(const uint8_t* frame, size_t available, int16_t* pcm,
                                       SynthesisState& synth) {
    if (!table_ || !frame || !pcm || available < 4) return kRefusedFrame;
    // A frame of another kind than the stream's would be read with the wrong tables and frame
    // length: refuse it so that the caller resynchronises.
    const FrameHeader h = parseFrameHeader(frame);
    if (frame[0] != 0xFF) return kRefusedFrame;
    // A variable-bitrate stream changes the bitrate from frame to frame: such a frame is read
    // with its own length and allocation table, and the synthesis goes on undisturbed.
    if (h.bitrateIndex != bitrateIndex_ && !followBitrate(h)) return kRefusedFrame;
    if (!belongsToStream(h)) return kRefusedFrame;
    const uint32_t length = static_cast<uint32_t>(frameBytes_) + static_cast<uint32_t>(h.padding);

    // The frame is read from a zero-padded copy, so that bits past its end read as zero and
    // the reader never touches a byte beyond it.
    const size_t span = std::min<size_t>({available, length, kFrameCopyBytes - 16});
    std::memcpy(frame_, frame, span);
    std::memset(frame_ + span, 0, kFrameCopyBytes - span);
    const int64_t endBit = static_cast<int64_t>(span) * 8;
    BitReader br(frame_, h.protectionBit == 0 ? 48 : 32);  // the CRC is not checked

    Allocation allocation;
    const int bound = channels_ == 2 && h.mode == 1 ? 4 * (h.modeExtension + 1) : 32;
    readAllocation(br, *table_, channels_, bound, subbandLimit_, allocation);
    readScaleFactors(br, allocation);
    const int silentFrom =
        readSamples(frame_, br.position(), allocation, endBit, block_, liveCells_);
    if (silentFrom < kSlots) {
        std::memset(block_ + silentFrom * kSlotFloats, 0,
                    sizeof(float) * kSlotFloats * static_cast<size_t>(kSlots - silentFrom));
    }

    if (channels_ == 1) {
        synthesizeLayer2Single(synth, block_, pcm, kSlots);
    } else {
        synthesizeLayer2Stereo(synth, block_, pcm, kSlots);
    }
    return {length, static_cast<uint32_t>(kSlots * 32 * channels_ * sizeof(int16_t))};
}

}  // namespace kivo::mpeg
