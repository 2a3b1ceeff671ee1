// kivo-conformance [DIR]: decodes every NAME.bit of the conformance set and prints, as a
// Markdown table, how far the output lies from the reference NAME.pcm.
// kivo-conformance --pairs STREAM PCM...: the same for any streams, each with a reference
// output (16-bit little-endian, interleaved, standard polarity) made by another decoder.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "conformance_compare.h"

namespace fs = std::filesystem;
using namespace kivo::conformance;

namespace {

// One row of the table; false when the stream misses its bounds or cannot be read.
bool reportRow(const std::string& name, const fs::path& stream, const fs::path& reference) {
    const auto bits = readFile(stream.string());
    const auto pcm = readFile(reference.string());
    if (!bits || !pcm) {
        std::printf("| %s | unreadable |||||||||\n", name.c_str());
        return false;
    }
    const DecodedStream decoded = decodeStream(*bits);
    if (!decoded.accepted) {
        std::printf("| %s | %s | | | not decoded ||||||\n", name.c_str(),
                    decoded.found ? layerName(decoded.header) : "no stream");
        return false;
    }
    // A stream that switches between one and two channels cannot match a reference laid
    // out per frame: it shows that it decodes, not how well.
    if (name == "l3-he_mode") {
        std::printf("| %s | %s | %d | %s | - | - | - | robustness only: %d frames | - | - |\n",
                    name.c_str(), layerName(decoded.header),
                    kivo::mpeg::sampleRateOf(decoded.header), "single channel and stereo",
                    decoded.frames);
        return true;
    }
    const std::vector<float> ref = negatedReference(*pcm);
    const Verdict v = judge(decoded, ref);
    std::string limited = "";
    if (v.belowLimit) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", v.belowLimit->rms);
        limited = text;
    }
    const bool met = meetsBounds(v);
    const char* verdict =
        met ? (v.belowLimit ? "bounds met below band limit" : "bounds met") : "FAILS bounds";
    std::printf("| %s | %s | %d | %s | %.3f | %.0f | %d | %s | %s | %s |\n", name.c_str(),
                layerName(decoded.header), kivo::mpeg::sampleRateOf(decoded.header),
                modeName(decoded.header.mode), v.full.rms, v.full.max, v.full.lag, verdict,
                v.isoClass, limited.c_str());
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<fs::path, fs::path>> pairs;
    if (argc > 1 && std::string(argv[1]) == "--pairs") {
        if (argc % 2 != 0) {
            std::fputs("usage: kivo-conformance [DIR] | --pairs STREAM PCM...\n", stderr);
            return 2;
        }
        for (int i = 2; i + 1 < argc; i += 2) pairs.emplace_back(argv[i], argv[i + 1]);
    } else {
        const fs::path dir =
            argc > 1 ? fs::path(argv[1]) : fs::path(KIVO_TEST_DATA) / "conformance";
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (entry.path().extension() != ".bit") continue;
            auto pcm = entry.path();
            pairs.emplace_back(entry.path(), pcm.replace_extension(".pcm"));
        }
        if (error || pairs.empty()) {
            std::fprintf(stderr, "kivo-conformance: %s: no conformance streams\n",
                         dir.string().c_str());
            return 1;
        }
        std::sort(pairs.begin(), pairs.end());
    }
    std::printf(
        "| vector | layer | rate (Hz) | mode | RMS (LSB) | max (LSB) | lag | class | "
        "ISO accuracy | RMS below band limit (LSB) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const auto& [stream, pcm] : pairs) {
        const std::string name =
            stream.extension() == ".bit" ? stream.stem().string() : stream.filename().string();
        if (!reportRow(name, stream, pcm)) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
