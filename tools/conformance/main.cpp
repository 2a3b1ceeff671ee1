// kivo-conformance [DIR]: decodes every NAME.bit of the conformance set and prints, as a
// Markdown table, how far the output lies from the reference NAME.pcm.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "conformance_compare.h"

namespace fs = std::filesystem;
using namespace kivo::conformance;

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path(KIVO_TEST_DATA) / "conformance";
    std::vector<fs::path> streams;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.path().extension() == ".bit") streams.push_back(entry.path());
    }
    if (error || streams.empty()) {
        std::fprintf(stderr, "kivo-conformance: %s: no conformance streams\n", dir.c_str());
        return 1;
    }
    std::sort(streams.begin(), streams.end());
    std::printf(
        "| vector | layer | rate (Hz) | mode | RMS (LSB) | max (LSB) | lag | class | "
        "ISO accuracy | RMS below band limit (LSB) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const fs::path& path : streams) {
        const std::string name = path.stem().string();
        const auto bits = readFile(path.string());
        auto pcmPath = path;
        const auto pcm = readFile(pcmPath.replace_extension(".pcm").string());
        if (!bits || !pcm) {
            std::printf("| %s | unreadable |||||||\n", name.c_str());
            ++failures;
            continue;
        }
        const DecodedStream decoded = decodeStream(*bits);
        if (!decoded.accepted) {
            std::printf("| %s | %s | | | not decoded |||||\n", name.c_str(),
                        decoded.found ? layerName(decoded.header) : "no stream");
            ++failures;
            continue;
        }
        // A stream that switches between one and two channels cannot match a reference laid
        // out per frame: it shows that it decodes, not how well.
        if (name == "l3-he_mode") {
            std::printf("| %s | %s | %d | %s | - | - | - | robustness only: %d frames | - | - |\n",
                        name.c_str(), layerName(decoded.header),
                        kivo::mpeg::sampleRateOf(decoded.header), "single channel and stereo",
                        decoded.frames);
            continue;
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
        if (!met) ++failures;
        const char* verdict =
            met ? (v.belowLimit ? "bounds met below band limit" : "bounds met") : "FAILS bounds";
        std::printf("| %s | %s | %d | %s | %.3f | %.0f | %d | %s | %s | %s |\n", name.c_str(),
                    layerName(decoded.header), kivo::mpeg::sampleRateOf(decoded.header),
                    modeName(decoded.header.mode), v.full.rms, v.full.max, v.full.lag, verdict,
                    v.isoClass, limited.c_str());
    }
    return failures == 0 ? 0 : 1;
}
