// Decoding a conformance bitstream and measuring it against the reference decoder's output,
// shared by the conformance test and the table tool. The reference is negated first: our
// synthesis has the opposite polarity. Errors are in LSB of 16-bit PCM.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame_walker.h"
#include "mpeg/decoder.h"
#include "mpeg/frame_length.h"

namespace kivo::conformance {

// Bounds on a decoder that truncates toward zero against a rounded reference.
inline constexpr double kMaxRms = 0.8;
inline constexpr double kMaxAbs = 2.0;
// Limited accuracy: RMS below 2^-11 / sqrt(12) of full scale.
inline constexpr double kLimitedRms = 4.62;
// Full accuracy: RMS below 2^-15 / sqrt(12) of full scale.
inline constexpr double kFullRms = 0.289;
// Reference content above the decoded band that explains a full-band miss.
inline constexpr double kAboveLimitContentRms = 0.5;
// Decoders may start a whole number of samples early or late.
inline constexpr int kMaxLag = 2304;

inline std::optional<std::vector<uint8_t>> readFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

struct DecodedStream {
    bool found = false;
    bool accepted = false;
    mpeg::FrameHeader header{};
    mpeg::PcmFormat format{};
    std::vector<float> pcm;  // interleaved
    int32_t frames = 0;
    int32_t failures = 0;
};

// Decodes every complete frame of a bare bitstream.
inline DecodedStream decodeStream(std::span<const uint8_t> bytes) {
    DecodedStream out;
    FrameWalker walker(bytes);
    out.found = walker.findStream();
    if (!out.found) return out;
    out.header = walker.header();
    auto decoder = std::make_unique<mpeg::MpegDecoder>();
    out.accepted = walker.initDecoder(*decoder);
    if (!out.accepted) return out;
    out.format = decoder->format();
    std::vector<int16_t> block(4608);
    for (;;) {
        const int64_t produced = walker.decodeNext(*decoder, block.data());
        if (produced < 0) break;
        if (produced == 0) continue;
        const size_t values = std::min(static_cast<size_t>(produced) / 2, block.size());
        out.pcm.insert(out.pcm.end(), block.begin(), block.begin() + values);
        ++out.frames;
    }
    out.failures = walker.failures();
    return out;
}

// The reference output (16-bit little-endian), negated.
inline std::vector<float> negatedReference(std::span<const uint8_t> bytes) {
    std::vector<float> ref(bytes.size() / 2);
    for (size_t i = 0; i < ref.size(); ++i) {
        const auto v = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        ref[i] = -static_cast<float>(v);
    }
    return ref;
}

struct Comparison {
    double rms = 0;
    double max = 0;
    int lag = 0;          // reference sample = ours + lag, per channel
    size_t compared = 0;  // samples per channel compared
};

// Error of `ours` against `ref` with the given lag, over the samples both have (every
// `stride`-th sample frame of them), less `trim` sample frames at either end.
inline Comparison compareAt(std::span<const float> ours, std::span<const float> ref, int channels,
                            int lag, size_t stride = 1, ptrdiff_t trim = 0) {
    Comparison c;
    c.lag = lag;
    const auto ourFrames = static_cast<ptrdiff_t>(ours.size() / channels);
    const auto refFrames = static_cast<ptrdiff_t>(ref.size() / channels);
    const ptrdiff_t begin = std::max<ptrdiff_t>(0, -lag) + trim;
    const ptrdiff_t end = std::min(ourFrames, refFrames - lag) - trim;
    double sum = 0;
    size_t frames = 0;
    for (ptrdiff_t i = begin; i < end; i += static_cast<ptrdiff_t>(stride)) {
        for (int ch = 0; ch < channels; ++ch) {
            const double d = ours[i * channels + ch] - ref[(i + lag) * channels + ch];
            sum += d * d;
            c.max = std::max(c.max, std::abs(d));
        }
        ++frames;
    }
    if (frames > 0) {
        c.compared = end > begin ? static_cast<size_t>(end - begin) : 0;
        c.rms = std::sqrt(sum / static_cast<double>(frames * channels));
    }
    return c;
}

// The lag that fits best: every lag judged on a sparse sample of the signals, the few best
// then on all of it (a sparse sample alone can be fooled by periodic or quiet stretches).
inline int bestLag(std::span<const float> ours, std::span<const float> ref, int channels) {
    const size_t frames = ours.size() / channels;
    const size_t stride = std::max<size_t>(1, frames / 16384);
    std::vector<std::pair<double, int>> sparse;
    for (int lag = -kMaxLag; lag <= kMaxLag; ++lag) {
        const Comparison c = compareAt(ours, ref, channels, lag, stride);
        // At least half of the shorter signal must take part.
        if (c.compared * 2 < std::min(frames, ref.size() / channels)) continue;
        sparse.emplace_back(c.rms, lag);
    }
    if (sparse.empty()) return 0;
    const size_t keep = std::min<size_t>(sparse.size(), 8);
    std::partial_sort(sparse.begin(), sparse.begin() + keep, sparse.end());
    int best = sparse[0].second;
    double bestRms = INFINITY;
    for (size_t k = 0; k < keep; ++k) {
        const int lag = sparse[k].second;
        const double rms = compareAt(ours, ref, channels, lag).rms;
        if (rms < bestRms || (rms == bestRms && std::abs(lag) < std::abs(best))) {
            bestRms = rms;
            best = lag;
        }
    }
    return best;
}

// A linear-phase low-pass (Blackman-windowed sinc) applied per channel.
inline constexpr int kLowPassTaps = 255;

inline std::vector<float> lowPass(std::span<const float> x, int channels, double cutoffHz,
                                  int rate) {
    constexpr int kTaps = kLowPassTaps;
    constexpr int kHalf = kTaps / 2;
    std::vector<double> h(kTaps);
    const double fc = cutoffHz / rate;
    double gain = 0;
    for (int k = 0; k < kTaps; ++k) {
        const double m = k - kHalf;
        const double sinc =
            m == 0 ? 2 * fc : std::sin(2 * std::numbers::pi * fc * m) / (std::numbers::pi * m);
        const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * k / (kTaps - 1)) +
                         0.08 * std::cos(4 * std::numbers::pi * k / (kTaps - 1));
        h[k] = sinc * w;
        gain += h[k];
    }
    for (double& v : h) v /= gain;
    const auto frames = static_cast<ptrdiff_t>(x.size() / channels);
    std::vector<float> y(x.size());
    for (int ch = 0; ch < channels; ++ch) {
        for (ptrdiff_t i = 0; i < frames; ++i) {
            double acc = 0;
            const ptrdiff_t lo = std::max<ptrdiff_t>(0, i - kHalf);
            const ptrdiff_t hi = std::min<ptrdiff_t>(frames - 1, i + kHalf);
            for (ptrdiff_t j = lo; j <= hi; ++j) acc += h[j - i + kHalf] * x[j * channels + ch];
            y[i * channels + ch] = static_cast<float>(acc);
        }
    }
    return y;
}

// The highest frequency the decoder reproduces in full: the top subband is never decoded, and
// at low sampling frequencies the last scale-factor band of a granule is not either.
inline double decodedBandLimitHz(const mpeg::FrameHeader& h) {
    const double nyquist = mpeg::sampleRateOf(h) / 2.0;
    double limit = nyquist * 31 / 32;
    // The lowest start of the last long band among the low-sampling-frequency partitions.
    if (h.layerCode == mpeg::kLayerIII && h.id == 0) limit = std::min(limit, nyquist * 522 / 576);
    return limit;
}

// Low-pass cutoff with the filter's transition band kept below the limit.
inline double comparisonCutoffHz(const mpeg::FrameHeader& h) {
    return decodedBandLimitHz(h) - 6.0 * mpeg::sampleRateOf(h) / kLowPassTaps;
}

struct Verdict {
    Comparison full;
    std::optional<Comparison> belowLimit;  // both signals low-passed below the decoded band
    double referenceAboveLimitRms = 0;     // what the reference carries above that band
    const char* isoClass = "";
};

inline const char* isoClassOf(const Comparison& c) {
    if (c.rms < kFullRms && c.max <= kMaxAbs) return "full";
    if (c.rms < kLimitedRms) return "limited";
    return "none";
}

// Measures a decoded stream against the negated reference. The low-passed comparison is made
// when the full band misses the bounds.
inline Verdict judge(const DecodedStream& decoded, std::span<const float> ref) {
    Verdict v;
    const int channels = std::max(decoded.format.channels, 1);
    const int lag = bestLag(decoded.pcm, ref, channels);
    v.full = compareAt(decoded.pcm, ref, channels, lag);
    v.isoClass = isoClassOf(v.full);
    if (v.full.rms <= kMaxRms && v.full.max <= kMaxAbs) return v;
    const double cutoff = comparisonCutoffHz(decoded.header);
    const int rate = mpeg::sampleRateOf(decoded.header);
    const std::vector<float> ours = lowPass(decoded.pcm, channels, cutoff, rate);
    const std::vector<float> theirs = lowPass(ref, channels, cutoff, rate);
    // Where one signal ends the filter sees nothing of what the other goes on with: the half
    // filter length at either end of the overlap is left out.
    v.belowLimit = compareAt(ours, theirs, channels, lag, 1, kLowPassTaps / 2);
    std::vector<float> above(ref.size());
    for (size_t i = 0; i < ref.size(); ++i) above[i] = ref[i] - theirs[i];
    v.referenceAboveLimitRms = compareAt(above, std::vector<float>(ref.size()), channels, 0).rms;
    return v;
}

// The bounds a vector must meet: full band, or below the band limit where the reference carries
// content above it, with limited accuracy on the full band.
inline bool meetsBounds(const Verdict& v) {
    if (!v.belowLimit) return v.full.rms <= kMaxRms && v.full.max <= kMaxAbs;
    return v.referenceAboveLimitRms > kAboveLimitContentRms && v.belowLimit->rms <= kMaxRms &&
           v.full.rms < kLimitedRms;
}

inline const char* modeName(int mode) {
    static const char* const kNames[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
    return kNames[mode & 3];
}

inline const char* versionName(const mpeg::FrameHeader& h) {
    if (h.syncKind == 2) return "MPEG 2.5";
    return h.id == 1 ? "MPEG-1" : "MPEG-2";
}

inline const char* layerName(const mpeg::FrameHeader& h) {
    static const char* const kNames[] = {"?", "III", "II", "I"};
    return kNames[h.layerCode & 3];
}

}  // namespace kivo::conformance
