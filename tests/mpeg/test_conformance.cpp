// Every conformance bitstream decoded through the stream rules and measured against the
// reference output (negated: our synthesis has the opposite polarity).
#include <gtest/gtest.h>

#include <string>

#include "../../tools/conformance/conformance_compare.h"

namespace kivo::conformance {
namespace {

std::string vectorPath(const std::string& name, const char* extension) {
    return std::string(KIVO_TEST_DATA) + "/conformance/" + name + extension;
}

struct Loaded {
    DecodedStream decoded;
    std::vector<float> reference;
};

Loaded load(const std::string& name) {
    Loaded l;
    const auto bits = readFile(vectorPath(name, ".bit"));
    const auto pcm = readFile(vectorPath(name, ".pcm"));
    EXPECT_TRUE(bits && pcm) << name;
    if (!bits || !pcm) return l;
    l.decoded = decodeStream(*bits);
    l.reference = negatedReference(*pcm);
    return l;
}

class ConformanceVector : public testing::TestWithParam<const char*> {};

TEST_P(ConformanceVector, MatchesTheReferenceWithinBounds) {
    const std::string name = GetParam();
    const Loaded l = load(name);
    ASSERT_TRUE(l.decoded.found) << "no stream found";
    ASSERT_TRUE(l.decoded.accepted) << "decoder refused the stream";
    // Decoding starts where the search started: filler in front of the first frame costs one
    // refused decode, nothing inside the stream may.
    EXPECT_LE(l.decoded.failures, 1) << "frames refused in a clean stream";
    const int channels = l.decoded.format.channels;
    ASSERT_GT(channels, 0);
    const size_t ours = l.decoded.pcm.size() / channels;
    const size_t theirs = l.reference.size() / channels;
    // The l2-fl references run on past the end of their bitstreams: only the decoded part counts.
    const bool referenceRunsOn = name.rfind("l2-fl", 0) == 0;
    if (referenceRunsOn) {
        EXPECT_LE(ours, theirs);
    } else {
        EXPECT_NEAR(static_cast<double>(ours), static_cast<double>(theirs), 2304.0);
    }

    const Verdict v = judge(l.decoded, l.reference);
    EXPECT_GE(v.full.compared + kMaxLag, std::min(ours, theirs)) << "most of the output compared";
    if (!v.belowLimit) {
        EXPECT_LE(v.full.rms, kMaxRms);
        EXPECT_LE(v.full.max, kMaxAbs);
        return;
    }
    // The full band misses the bounds: acceptable only where the reference carries content
    // above the band this decoder reproduces, and only if everything below it matches.
    EXPECT_GT(v.referenceAboveLimitRms, kAboveLimitContentRms)
        << "full band RMS " << v.full.rms << " max " << v.full.max
        << " with nothing above the band limit to explain it";
    EXPECT_LE(v.belowLimit->rms, kMaxRms) << "full band RMS " << v.full.rms;
    EXPECT_LT(v.full.rms, kLimitedRms);
}

INSTANTIATE_TEST_SUITE_P(Vectors, ConformanceVector,
                         testing::Values("l3-compl", "l3-hecommon", "l3-si", "l3-si_block",
                                         "l3-si_huff", "l3-sin1k0db", "M2L3_compl24", "l2-fl10",
                                         "l2-fl13", "l2-fl14", "l2-fl15", "l2-test32"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

// A stream that switches between single-channel and stereo frames cannot match a reference
// laid out per frame; it must decode to the end without harm, in the format of its first frame.
TEST(ConformanceRobustness, ModeSwitchingStreamDecodesToTheEnd) {
    const Loaded l = load("l3-he_mode");
    ASSERT_TRUE(l.decoded.accepted);
    const int channels = l.decoded.format.channels;
    ASSERT_GT(channels, 0);
    const size_t theirs = l.reference.size();  // at most this many samples per channel
    const size_t ours = l.decoded.pcm.size() / channels;
    EXPECT_GT(ours, theirs / 2);
    EXPECT_LE(ours, theirs + 2304);
}

}  // namespace
}  // namespace kivo::conformance
