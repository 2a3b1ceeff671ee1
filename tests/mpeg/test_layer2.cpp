// Layer II frames: accuracy on the conformance streams, the table and limit choices, joint
// stereo, refusals, and frames that lie about their own contents.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mpeg/frame_length.h"
#include "mpeg/layer2.h"
#include "mpeg/layer2_tables.h"

namespace kivo::mpeg {
namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Decodes every frame of a Layer II stream that starts at byte 0.
struct Decoded {
    PcmFormat format{};
    std::vector<int16_t> pcm;
    int frames = 0;
};

Decoded decodeStream(const std::vector<uint8_t>& data, int32_t frequencyLimit = 24000) {
    Decoded out;
    const FrameHeader first = parseFrameHeader(data.data());
    Layer2Decoder decoder;
    SynthesisState synth;
    EXPECT_EQ(decoder.init(first, frameLengthOf(first), frequencyLimit, &out.format, synth), 1);
    std::vector<int16_t> block(2304);
    size_t pos = 0;
    while (pos + 4 <= data.size()) {
        const FrameResult r =
            decoder.decodeFrame(data.data() + pos, data.size() - pos, block.data(), synth);
        if (r.consumed == 0) break;
        out.pcm.insert(out.pcm.end(), block.begin(), block.begin() + r.produced / 2);
        pos += r.consumed;
        ++out.frames;
    }
    EXPECT_EQ(pos, data.size());
    return out;
}

struct Accuracy {
    double rms = 1e9;
    int max = 1 << 30;
    int lag = 0;
};

// Our PCM against the negated reference, at the lag (in sample frames) with the least error.
Accuracy compareWithReference(const std::vector<int16_t>& ours, const std::vector<int16_t>& ref,
                              int channels) {
    Accuracy best;
    for (int lag = -2304; lag <= 2304; ++lag) {
        const long shift = static_cast<long>(lag) * channels;
        const long begin = std::max<long>(0, -shift);
        const long end = std::min<long>(ours.size(), static_cast<long>(ref.size()) - shift);
        if (end - begin < static_cast<long>(ours.size()) / 2) continue;
        // Stop a lag as soon as it cannot beat the best one.
        const double bound = best.rms * best.rms * static_cast<double>(end - begin);
        double sum = 0;
        int worst = 0;
        for (long i = begin; i < end && sum <= bound; ++i) {
            const int d = ours[i] + ref[i + shift];
            sum += static_cast<double>(d) * d;
            worst = std::max(worst, std::abs(d));
        }
        if (sum > bound) continue;
        const double rms = std::sqrt(sum / static_cast<double>(end - begin));
        if (rms < best.rms) best = {rms, worst, lag};
    }
    return best;
}

TEST(Layer2Conformance, StreamsMatchTheNegatedReference) {
    for (const char* name : {"l2-fl10", "l2-fl13", "l2-fl14", "l2-fl15", "l2-test32"}) {
        const std::string base = std::string(KIVO_TEST_DATA) + "/conformance/" + name;
        const auto bits = readFile(base + ".bit");
        const auto raw = readFile(base + ".pcm");
        ASSERT_FALSE(bits.empty()) << name;
        std::vector<int16_t> ref(raw.size() / 2);
        std::memcpy(ref.data(), raw.data(), ref.size() * 2);
        const Decoded d = decodeStream(bits);
        const Accuracy a = compareWithReference(d.pcm, ref, d.format.channels);
        std::printf("%-10s frames %4d  channels %d  rate %5d  lag %5d  rms %.3f  max %d\n", name,
                    d.frames, d.format.channels, d.format.sampleRate, a.lag, a.rms, a.max);
        EXPECT_LE(a.rms, 0.8) << name;
        EXPECT_LE(a.max, 2) << name;
    }
}

// Writes Layer II frames bit by bit from a description.
class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (count_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
            ++count_;
        }
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int count_ = 0;
};

struct TestFrame {
    int id = 1;
    int bitrateIndex = 10;    // 192 kbit/s
    int sampleRateIndex = 1;  // 48 kHz (44.1 for MPEG-2 is 22.05 ...)
    int mode = 0;
    int modeExtension = 0;
    int padding = 0;
    bool crc = false;
    int allocation[32][2] = {};  // allocation values; above the joint bound channel 0 counts
    int scale[32][2] = {};       // one scale-factor index for all three parts
    // Level index (0..levels-1) of sample k (0..35) of a subband and channel.
    int (*level)(int sb, int ch, int k, int levels) = [](int, int, int k, int levels) {
        return (k * 7 + 3) % levels;
    };

    FrameHeader header() const {
        const uint8_t b[4] = {
            0xFF, static_cast<uint8_t>(0xF4 | id << 3 | (crc ? 0 : 1)),
            static_cast<uint8_t>(bitrateIndex << 4 | sampleRateIndex << 2 | padding << 1),
            static_cast<uint8_t>(mode << 6 | modeExtension << 4)};
        return parseFrameHeader(b);
    }

    std::vector<uint8_t> build() const {
        const FrameHeader h = header();
        BitWriter w;
        w.put(0xFFF, 12);
        w.put(id, 1);
        w.put(2, 2);
        w.put(crc ? 0 : 1, 1);
        w.put(bitrateIndex, 4);
        w.put(sampleRateIndex, 2);
        w.put(padding, 1);
        w.put(0, 1);
        w.put(mode, 2);
        w.put(modeExtension, 2);
        w.put(0, 4);
        if (crc) w.put(0xBEEF, 16);
        const int choice =
            id == 0 ? 4 : kLayer2TableChoice[mode == 3][sampleRateIndex][bitrateIndex];
        const Layer2AllocationTable& table = kLayer2AllocationTables[choice];
        const int channels = mode == 3 ? 1 : 2;
        const int bound = mode == 1 ? 4 * (modeExtension + 1) : 32;
        int cls[32][2] = {};
        int sb = 0;
        for (const auto& group : table.group) {
            for (int i = 0; i < group.subbands; ++i, ++sb) {
                for (int ch = 0; ch < channels; ++ch) {
                    if (sb >= bound && ch == 1) {
                        cls[sb][1] = cls[sb][0];
                        continue;
                    }
                    w.put(allocation[sb][ch], group.bits);
                    cls[sb][ch] = group.classOf[allocation[sb][ch]];
                }
            }
        }
        for (int s = 0; s < table.subbands; ++s)
            for (int ch = 0; ch < channels; ++ch)
                if (cls[s][ch]) w.put(2, 2);
        for (int s = 0; s < table.subbands; ++s)
            for (int ch = 0; ch < channels; ++ch)
                if (cls[s][ch]) w.put(scale[s][ch], 6);
        for (int granule = 0; granule < 12; ++granule) {
            for (int s = 0; s < table.subbands; ++s) {
                for (int ch = 0; ch < channels; ++ch) {
                    if (!cls[s][ch] || (s >= bound && ch == 1)) continue;
                    const int levels = kLayer2ClassLevels[cls[s][ch]];
                    int d[3];
                    for (int k = 0; k < 3; ++k) d[k] = level(s, ch, 3 * granule + k, levels);
                    if (levels == 3 || levels == 5 || levels == 9) {
                        w.put(d[0] + levels * d[1] + levels * levels * d[2], levels == 3   ? 5
                                                                             : levels == 5 ? 7
                                                                                           : 10);
                    } else {
                        const int bits =
                            levels == 7 ? 3 : std::bit_width(static_cast<unsigned>(levels));
                        for (int k = 0; k < 3; ++k) w.put(d[k], bits);
                    }
                }
            }
        }
        std::vector<uint8_t> bytes = w.bytes();
        const size_t length = static_cast<size_t>(frameLengthOf(h) + padding);
        EXPECT_LE(bytes.size(), length) << "test frame does not fit";
        bytes.resize(length, 0);
        return bytes;
    }
};

std::vector<uint8_t> repeated(const TestFrame& f, int times) {
    std::vector<uint8_t> out;
    const auto one = f.build();
    for (int i = 0; i < times; ++i) out.insert(out.end(), one.begin(), one.end());
    return out;
}

// Joint stereo shares the samples of the subbands above the bound and keeps separate scale
// factors; the result equals a stereo frame that carries the same samples twice.
TEST(Layer2Frames, JointStereoSharesSamplesAboveTheBound) {
    TestFrame joint;
    joint.mode = 1;
    joint.modeExtension = 0;  // bound at subband 4
    for (int sb : {1, 5, 9, 20}) {
        joint.allocation[sb][0] = joint.allocation[sb][1] = sb < 11 ? 5 : 3;
        joint.scale[sb][0] = 6;
        joint.scale[sb][1] = 9;
    }
    joint.allocation[1][1] = 2;  // below the bound the channels differ
    TestFrame stereo = joint;
    stereo.mode = 0;
    stereo.level = joint.level;

    const Decoded a = decodeStream(repeated(joint, 3));
    const Decoded b = decodeStream(repeated(stereo, 3));
    ASSERT_EQ(a.pcm.size(), b.pcm.size());
    EXPECT_EQ(a.pcm, b.pcm);
    long energy = 0;
    for (int16_t v : a.pcm) energy += std::abs(v);
    EXPECT_GT(energy, 0);
}

// Subbands at and above the limit are not decoded but their bits are skipped exactly, so the
// subbands below come out as if the upper ones were never sent.
TEST(Layer2Frames, SubbandsAboveTheLimitAreSkippedNotMisread) {
    TestFrame both;
    both.sampleRateIndex = 0;  // 44.1 kHz, 192 kbit/s: table 1, 30 subbands
    both.allocation[2][0] = both.allocation[2][1] = 4;
    both.scale[2][0] = both.scale[2][1] = 8;
    both.allocation[20][0] = 5;  // odd bit counts above the limit shift everything after
    both.allocation[29][1] = 3;
    both.scale[20][0] = both.scale[29][1] = 4;
    TestFrame lowOnly = both;
    lowOnly.allocation[20][0] = lowOnly.allocation[29][1] = 0;

    const Decoded limited = decodeStream(repeated(both, 3), 8000);  // subbands 0..11
    const Decoded reference = decodeStream(repeated(lowOnly, 3), 24000);
    EXPECT_EQ(limited.pcm, reference.pcm);
    EXPECT_NE(decodeStream(repeated(both, 3), 24000).pcm, reference.pcm);
}

// The sample block persists across frames: a subband that stops being sent must not keep
// sounding with the previous frame's samples.
TEST(Layer2Frames, SubbandThatStopsBeingSentFallsSilent) {
    TestFrame loud;
    loud.allocation[5][0] = loud.allocation[5][1] = 9;
    loud.scale[5][0] = loud.scale[5][1] = 2;
    const TestFrame quiet;  // nothing allocated
    std::vector<uint8_t> stream = loud.build();
    for (int i = 0; i < 2; ++i) {
        const auto q = quiet.build();
        stream.insert(stream.end(), q.begin(), q.end());
    }
    const Decoded d = decodeStream(stream);
    ASSERT_EQ(d.pcm.size(), 3u * 2304);
    EXPECT_TRUE(std::any_of(d.pcm.begin(), d.pcm.begin() + 2304, [](int16_t v) { return v != 0; }));
    EXPECT_TRUE(
        std::all_of(d.pcm.begin() + 2 * 2304, d.pcm.end(), [](int16_t v) { return v == 0; }));
}

TEST(Layer2Frames, TableAndSubbandLimitFollowRateBitrateAndMode) {
    struct Case {
        int id, bitrateIndex, sampleRateIndex, mode, limitHz, subbands;
    };
    const Case cases[] = {
        {1, 4, 1, 0, 24000, 8},         // 48 kHz 64 kbit/s stereo: table 2
        {1, 4, 2, 1, 24000, 12},        // 32 kHz 64 kbit/s joint: table 3
        {1, 2, 0, 3, 24000, 8},         // 44.1 kHz 48 kbit/s single channel: table 2
        {1, 8, 0, 2, 24000, 27},        // 44.1 kHz 128 kbit/s dual channel: 64 per channel, table 0
        {1, 10, 0, 0, 24000, 30},       // 44.1 kHz: subband 31 is never decoded
        {1, 0, 1, 0, 24000, 27},        // free format at 48 kHz: table 0
        {0, 8, 0, 0, 24000, 30},        // MPEG-2: table 4
        {1, 10, 0, 0, 8000, 12},        // (22050 + 8000 * 64) / 44100
        {1, 10, 0, 0, 0, 1},            // below 1000 Hz counts as 1000
        {1, 10, 0, 0, 2147483647, 30},  // no overflow on absurd limits
    };
    for (const Case& c : cases) {
        TestFrame f;
        f.id = c.id;
        f.bitrateIndex = c.bitrateIndex;
        f.sampleRateIndex = c.sampleRateIndex;
        f.mode = c.mode;
        Layer2Decoder d;
        SynthesisState s;
        PcmFormat format{};
        ASSERT_EQ(d.init(f.header(), 417, c.limitHz, &format, s), 1) << c.bitrateIndex;
        EXPECT_EQ(d.subbandLimit(), c.subbands) << c.id << " " << c.bitrateIndex << " " << c.mode;
        EXPECT_EQ(format.channels, c.mode == 3 ? 1 : 2);
        EXPECT_EQ(format.valuesPerFrame, 1152 * format.channels);
        EXPECT_EQ(format.sampleRate, kSampleRateHz[c.id][c.sampleRateIndex]);
        EXPECT_EQ(format.bitsPerSample, 16);
        EXPECT_EQ(format.frameBytes, 417);
    }
}

TEST(Layer2Frames, InitRefusesWhatNoStreamMayCarry) {
    auto refused = [](TestFrame f, int32_t frameBytes = 417, int syncKind = 1) {
        FrameHeader h = f.header();
        h.syncKind = syncKind;
        Layer2Decoder d;
        SynthesisState s;
        PcmFormat format{};
        return d.init(h, frameBytes, 24000, &format, s) == 0;
    };
    TestFrame f;
    EXPECT_FALSE(refused(f));
    TestFrame reservedRate = f;
    reservedRate.sampleRateIndex = 3;
    EXPECT_TRUE(refused(reservedRate));
    TestFrame stereo80 = f;
    stereo80.bitrateIndex = 5;  // 80 kbit/s stereo is not allowed
    EXPECT_TRUE(refused(stereo80));
    TestFrame mono224 = f;
    mono224.mode = 3;
    mono224.bitrateIndex = 11;  // 224 kbit/s single channel is not allowed
    EXPECT_TRUE(refused(mono224));
    TestFrame forbidden = f;
    forbidden.id = 0;
    forbidden.bitrateIndex = 15;
    EXPECT_TRUE(refused(forbidden));
    TestFrame lsf = f;
    lsf.id = 0;
    EXPECT_TRUE(refused(lsf, 417, 2));  // MPEG 2.5 has no Layer II
    EXPECT_TRUE(refused(f, 3));         // a frame shorter than its header
}

TEST(Layer2Frames, DecodeRefusesForeignFramesAndConsumesInitBytesPlusPadding) {
    TestFrame f;
    f.allocation[0][0] = 3;
    f.scale[0][0] = 10;
    Layer2Decoder d;
    SynthesisState s;
    std::vector<int16_t> pcm(2304);
    auto frame = f.build();
    EXPECT_TRUE(d.decodeFrame(frame.data(), frame.size(), pcm.data(), s).refused());  // before init
    ASSERT_EQ(d.init(f.header(), 500, 24000, nullptr, s), 1);

    FrameResult r = d.decodeFrame(frame.data(), frame.size(), pcm.data(), s);
    EXPECT_EQ(r.consumed, 500u);  // the bytes given to init, not the header's 576
    EXPECT_EQ(r.produced, 4608u);

    TestFrame padded = f;
    padded.padding = 1;
    auto withPadding = padded.build();
    r = d.decodeFrame(withPadding.data(), withPadding.size(), pcm.data(), s);
    EXPECT_EQ(r.consumed, 501u);

    auto badSync = frame;
    badSync[1] = 0xE4 | (badSync[1] & 0x0F);  // 0xFFE
    EXPECT_TRUE(d.decodeFrame(badSync.data(), badSync.size(), pcm.data(), s).refused());
    TestFrame mono = f;
    mono.mode = 3;
    mono.bitrateIndex = 10;
    auto monoFrame = mono.build();
    EXPECT_TRUE(d.decodeFrame(monoFrame.data(), monoFrame.size(), pcm.data(), s).refused());
    EXPECT_TRUE(d.decodeFrame(frame.data(), 3, pcm.data(), s).refused());
}

// A variable bitrate: each frame is read with its own length and allocation table, and the
// stream decodes whole without a new start of the decoder.
TEST(Layer2Frames, FramesOfAnotherBitrateAreReadWithTheirOwnLength) {
    TestFrame f;
    f.allocation[5][1] = 2;
    Layer2Decoder d;
    SynthesisState s;
    std::vector<int16_t> pcm(2304);
    ASSERT_EQ(d.init(f.header(), frameLengthOf(f.header()), 24000, nullptr, s), 1);
    TestFrame otherRate = f;
    otherRate.bitrateIndex = 9;
    const auto otherFrame = otherRate.build();
    const FrameResult r = d.decodeFrame(otherFrame.data(), otherFrame.size(), pcm.data(), s);
    EXPECT_EQ(r.consumed, uint32_t(frameLengthOf(otherRate.header())));
    EXPECT_EQ(r.produced, 4608u);

    // An encoder's variable-bitrate stream: 77 frames of 192 to 320 kbit/s, every byte read.
    const std::vector<uint8_t> vbr = readFile(std::string(KIVO_TEST_DATA) + "/play/l2-vbr.mp2");
    EXPECT_EQ(decodeStream(vbr).frames, 77);
}

TEST(Layer2Frames, CrcIsSkippedUnchecked) {
    TestFrame plain;
    plain.allocation[3][0] = 7;
    plain.allocation[3][1] = 2;
    plain.scale[3][0] = plain.scale[3][1] = 12;
    TestFrame checked = plain;
    checked.crc = true;  // carries 0xBEEF, which is no valid CRC
    EXPECT_EQ(decodeStream(repeated(plain, 2)).pcm, decodeStream(repeated(checked, 2)).pcm);
}

// A frame cut short (fewer readable bytes than its length) is decoded up to the cut; the
// granule that runs past it and all after it are silent, and nothing past the cut is read.
TEST(Layer2Frames, TruncatedFramesDecodeUpToTheCutAndAreSilentAfterIt) {
    TestFrame f;
    for (int sb = 0; sb < 8; ++sb) {
        f.allocation[sb][0] = f.allocation[sb][1] = 4;  // 31 levels below subband 3, then 9
        f.scale[sb][0] = f.scale[sb][1] = 20;
    }
    const auto frame = f.build();
    auto decodeCut = [&](size_t available) {
        Layer2Decoder d;
        SynthesisState s;
        EXPECT_EQ(d.init(f.header(), frameLengthOf(f.header()), 24000, nullptr, s), 1);
        // An exact-size copy so that the address sanitizer sees any read past the cut.
        std::vector<uint8_t> cut(frame.begin(), frame.begin() + static_cast<long>(available));
        std::vector<int16_t> pcm(2304, 0x5555);
        EXPECT_FALSE(d.decodeFrame(cut.data(), cut.size(), pcm.data(), s).refused());
        return pcm;
    };
    const auto whole = decodeCut(frame.size());
    // Header 32 bits, allocation 2 * 88, selections 16 * 2, scale factors 16 * 6: 336 bits.
    // A granule takes 2 * (3 * 15 + 5 * 10) = 190 bits; cut 100 bits into the second one.
    const auto cut = decodeCut((336 + 190 + 100) / 8);
    const size_t intact = 2 * 32 * 3;  // first granule: three slots of both channels
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + intact, cut.begin()));
    EXPECT_NE(whole, cut);
    // Once the filter has drained the last decoded granule (16 slots later) the rest is zero.
    EXPECT_TRUE(
        std::all_of(cut.begin() + 2 * 32 * (3 + 16), cut.end(), [](int16_t v) { return v == 0; }));
    // Cut inside the allocation: the whole frame is silence.
    const auto silent = decodeCut(6);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](int16_t v) { return v == 0; }));
}

// Random bytes behind a valid header: every outcome is a refusal or a whole frame, and no
// byte outside the frame is touched.
TEST(Layer2Frames, ArbitraryBytesNeverReadPastTheFrame) {
    std::mt19937 rng(2024);
    std::vector<int16_t> pcm(2304);
    for (int trial = 0; trial < 3000; ++trial) {
        TestFrame f;
        f.id = trial % 4 == 0 ? 0 : 1;
        f.mode = trial % 4;
        f.bitrateIndex = f.mode == 3 ? 1 + trial % 10 : 10 + trial % 5;
        f.sampleRateIndex = trial % 3;
        const int length = frameLengthOf(f.header());
        std::vector<uint8_t> bytes(static_cast<size_t>(rng() % (length + 8)) + 4);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        const auto head = f.build();
        std::copy(head.begin(), head.begin() + 4, bytes.begin());
        bytes[3] = static_cast<uint8_t>((bytes[3] & 0x3F) | f.mode << 6);
        Layer2Decoder d;
        SynthesisState s;
        ASSERT_EQ(d.init(f.header(), length, 24000, nullptr, s), 1);
        const FrameResult r = d.decodeFrame(bytes.data(), bytes.size(), pcm.data(), s);
        if (!r.refused()) {
            EXPECT_EQ(r.consumed, static_cast<uint32_t>(length + ((bytes[2] >> 1) & 1)));
        }
    }
}

}  // namespace
}  // namespace kivo::mpeg
