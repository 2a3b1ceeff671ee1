// Layer II frames: accuracy on the conformance streams, the table and limit choices, joint
// stereo, refusals, and frames that lie about their own contents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mpeg/frame_length.h"
#include "mpeg/layer2.h"

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
        const uint64_t r =
            decoder.decodeFrame(data.data() + pos, data.size() - pos, block.data(), synth);
        if (consumedBytes(r) == 0) break;
        out.pcm.insert(out.pcm.end(), block.begin(), block.begin() + producedBytes(r) / 2);
        pos += consumedBytes(r);
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

}  // namespace
}  // namespace kivo::mpeg
