// Layer II frame decoding. Per frame an entry list is built from the bit allocation (one entry
// per subband and channel, in bitstream order), filled with scale-factor selections and the
// per-part factors, and then walked twelve times (three parts of four granules) with one
// dispatch per entry. Entries at and above the subband limit are read for their allocation
// and scale factors but their samples are skipped with one precomputed bit count per granule.
//
// The reader is bounded to the frame: bits past its end read as zero and are noticed. Damage
// in the allocation or scale factors silences the frame; samples that run past the end
// silence the granule where that happens and the rest of the frame.
#include "layer2.h"

#include <algorithm>
#include <cstring>

#include "frame_length.h"
#include "layer2_tables.h"

namespace kivo::mpeg {
namespace {

// MSB-first reader over `size` bytes that never touches a byte beyond them; past the end it
// delivers zero bits. The unread bits sit at the top of a 64-bit cache.
class FrameBitReader {
public:
    FrameBitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // At least n (<= 56) bits cached.
    void ensure(int n) {
        if (bits_ < n) refill();
    }
    // n (1..32) bits that are cached.
    uint32_t take(int n) {
        const auto v = static_cast<uint32_t>(cache_ >> (64 - n));
        cache_ <<= n;
        bits_ -= n;
        return v;
    }
    // 1 <= n <= 32.
    uint32_t read(int n) {
        ensure(n);
        return take(n);
    }
    void skip(size_t n) {
        if (n < static_cast<size_t>(bits_)) {
            if (n) take(static_cast<int>(n));
            return;
        }
        n -= static_cast<size_t>(bits_);
        cache_ = 0;
        bits_ = 0;
        loaded_ += n / 8;
        if (n % 8) read(static_cast<int>(n % 8));
    }
    // Whether more bits were taken than the span holds.
    bool overran() const { return loaded_ * 8 - static_cast<size_t>(bits_) > size_ * 8; }

private:
    void refill() {
        if (loaded_ + 8 <= size_) {
            uint64_t v;
            std::memcpy(&v, data_ + loaded_, 8);
            cache_ |= __builtin_bswap64(v) >> bits_;
            loaded_ += static_cast<size_t>((63 - bits_) >> 3);
            bits_ |= 56;
            return;
        }
        while (bits_ <= 56) {
            const uint64_t byte = loaded_ < size_ ? data_[loaded_] : 0;
            cache_ |= byte << (56 - bits_);
            ++loaded_;
            bits_ += 8;
        }
    }

    const uint8_t* data_;
    size_t size_;
    size_t loaded_ = 0;  // bytes moved into the cache, zeros past the end included
    uint64_t cache_ = 0;
    int bits_ = 0;
};

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

// Three samples of one entry into three consecutive slots; a joint entry also fills the
// right channel's cell (the next entry) with that entry's factor.
inline void readGranule(FrameBitReader& br, const Entry* e, int part, float* cell) {
    constexpr int kNext = Layer2Decoder::kSlotFloats;
    float v0, v1, v2;
    if (!isGrouped(e->kind)) {
        br.ensure(3 * e->bits);
        v0 = static_cast<float>(static_cast<int32_t>(br.take(e->bits)) - e->middle);
        v1 = static_cast<float>(static_cast<int32_t>(br.take(e->bits)) - e->middle);
        v2 = static_cast<float>(static_cast<int32_t>(br.take(e->bits)) - e->middle);
    } else {
        const int8_t* d = e->digits[br.read(e->bits)];
        v0 = d[0];
        v1 = d[1];
        v2 = d[2];
    }
    const float f = e->factor[part];
    cell[0] = v0 * f;
    cell[kNext] = v1 * f;
    cell[2 * kNext] = v2 * f;
    if (isJoint(e->kind)) {
        const float r = e[1].factor[part];
        cell[1] = v0 * r;
        cell[kNext + 1] = v1 * r;
        cell[2 * kNext + 1] = v2 * r;
    }
}

}  // namespace

int32_t Layer2Decoder::init(const FrameHeader& header, int32_t frameBytes, int32_t frequencyLimit,
                            PcmFormat* format, SynthesisState& synth) {
    table_ = nullptr;
    // Only real Layer II headers: MPEG 2.5 has no Layer II, and a frame must hold its header.
    if (header.layerCode != 2 || header.syncKind != 1 || (header.id & ~1) != 0 ||
        header.sampleRateIndex < 0 || header.sampleRateIndex > 2 || header.bitrateIndex < 0 ||
        header.bitrateIndex > 14 || header.mode < 0 || header.mode > 3 || frameBytes < 4) {
        return 0;
    }
    const bool single = header.mode == 3;
    const int choice =
        header.id == 0 ? 4
                       : kLayer2TableChoice[single][header.sampleRateIndex][header.bitrateIndex];
    if (choice < 0) return 0;
    table_ = &kLayer2AllocationTables[choice];

    const int64_t rate = sampleRateOf(header);
    const int64_t limit = std::max<int64_t>(frequencyLimit, 1000);
    subbandLimit_ = static_cast<int32_t>(
        std::min<int64_t>({(rate / 2 + limit * 64) / rate, 31, table_->subbands}));
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

uint64_t Layer2Decoder::decodeFrame(const uint8_t* frame, size_t available, int16_t* pcm,
                                    SynthesisState& synth) {
    if (!table_ || !frame || !pcm || available < 4) return 0;
    const uint32_t length = static_cast<uint32_t>(frameBytes_) + ((frame[2] >> 1) & 1);
    FrameBitReader br(frame, std::min<size_t>(available, length));

    if (br.read(12) != 0xFFF) return 0;
    const int id = br.read(1);
    const int layer = br.read(2);
    const int protection = br.read(1);
    const int bitrateIndex = br.read(4);
    const int sampleRateIndex = br.read(2);
    br.read(2);  // padding (taken above), private bit
    const int mode = br.read(2);
    const int modeExtension = br.read(2);
    br.read(4);  // copyright, original, emphasis
    // A frame of another kind than the stream's would be read with the wrong tables and
    // frame length: refuse it so that the caller resynchronises.
    if (id != id_ || layer != 2 || bitrateIndex != bitrateIndex_ ||
        sampleRateIndex != sampleRateIndex_ || (mode == 3 ? 1 : 2) != channels_) {
        return 0;
    }
    if (protection == 0) br.read(16);  // CRC, not checked

    // Bit allocation: subbands below the joint-stereo bound carry one allocation per channel,
    // those above one for both channels.
    const int channels = channels_;
    const int bound = channels == 2 && mode == 1 ? 4 * (modeExtension + 1) : 32;
    Entry entries[kMaxEntries];
    int count = 0;
    int decoded = 0;  // entries below the subband limit
    size_t skipBits = 0;
    int sb = 0;
    for (const Layer2AllocationGroup& group : table_->group) {
        for (int i = 0; i < group.subbands; ++i, ++sb) {
            const bool joint = sb >= bound;
            int granuleBits = 0;
            for (int ch = 0; ch < channels; ++ch) {
                const int cls =
                    joint && ch == 1 ? entries[count - 1].cls : group.classOf[br.read(group.bits)];
                Entry& e = entries[count++];
                describeClass(e, cls, joint && ch == 0);
                e.cell = static_cast<uint16_t>(channels == 2 ? 2 * sb + ch : sb);
                if (!(joint && ch == 1)) granuleBits += kLayer2GranuleBits[cls];
            }
            if (sb < subbandLimit_) {
                decoded = count;
            } else {
                skipBits += static_cast<size_t>(granuleBits);
            }
        }
    }

    // Scale-factor selection, then the scale factors of every part.
    uint8_t selection[kMaxEntries];
    for (int e = 0; e < count; ++e) selection[e] = entries[e].cls ? br.read(2) : 0;
    for (int e = 0; e < count; ++e) {
        Entry& en = entries[e];
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

    int silentFrom = kSlots;  // first slot that carries no decoded samples
    if (br.overran()) {
        silentFrom = 0;
    } else {
        // Cells without samples are cleared once (when they hold old samples); the granule loop
        // visits only entries that read samples (the right half of a joint pair is filled by its
        // left half).
        const Entry* active[kMaxEntries];
        int actives = 0;
        for (int e = 0; e < decoded; ++e) {
            const Entry& en = entries[e];
            const uint64_t bit = uint64_t{1} << en.cell;
            if (en.kind == kZero) {
                if (liveCells_ & bit) {
                    for (int slot = 0; slot < kSlots; ++slot)
                        block_[slot * kSlotFloats + en.cell] = 0;
                    liveCells_ &= ~bit;
                }
            } else {
                active[actives++] = &en;
                liveCells_ |= bit;
                if (isJoint(en.kind)) {
                    liveCells_ |= bit << 1;
                    ++e;
                }
            }
        }
        for (int slot = 0; slot < kSlots; slot += 3) {
            const int part = slot / 12;
            float* row = block_ + slot * kSlotFloats;
            for (int a = 0; a < actives; ++a)
                readGranule(br, active[a], part, row + active[a]->cell);
            br.skip(skipBits);
            if (br.overran()) {
                silentFrom = slot;
                break;
            }
        }
    }
    if (silentFrom < kSlots) {
        std::memset(block_ + silentFrom * kSlotFloats, 0,
                    sizeof(float) * kSlotFloats * static_cast<size_t>(kSlots - silentFrom));
    }

    if (channels == 1) {
        synthesizeLayer2Single(synth, block_, pcm, kSlots);
    } else {
        synthesizeLayer2Stereo(synth, block_, pcm, kSlots);
    }
    const uint64_t produced = static_cast<uint64_t>(kSlots) * 32 * channels * sizeof(int16_t);
    return produced << 32 | length;
}

}  // namespace kivo::mpeg
