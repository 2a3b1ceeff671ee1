// kivo-decode: decodes an MP3 file (Layer II or III) to a WAV file or raw PCM, or describes it.
// The input is read through a window of constant size, so any length decodes in the same
// memory; "-" reads standard input and writes standard output. A stream whose encoder said how
// many samples it added before and after the sound gives exactly the samples it was given.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "frame_walker.h"
#include "gapless_trim.h"
#include "input_window.h"
#include "stream_info.h"
#include "wav_output.h"

#ifndef KIVO_VERSION
#define KIVO_VERSION "0"
#endif

namespace {

using kivo::FrameWalker;
using kivo::tools::InputWindow;

constexpr const char* kUsage =
    "usage: kivo-decode [-q] [--no-gapless] INPUT OUTPUT.wav\n"
    "       kivo-decode [-q] [--no-gapless] --raw INPUT OUTPUT\n"
    "       kivo-decode --info INPUT\n";

constexpr const char* kHelp =
    "Decodes an MPEG audio file (Layer III or Layer II) to 16-bit PCM.\n"
    "\n"
    "  --raw         raw little-endian samples, interleaved, instead of a WAV file\n"
    "  --info        describe the stream: format, length, the Xing/Info and encoder fields\n"
    "  --no-gapless  keep the encoder's delay and padding and the Info frame's silence\n"
    "  -q            no progress bar\n"
    "  -h, --help    this text\n"
    "  --version     the program's version\n"
    "\n"
    "INPUT or OUTPUT \"-\" is standard input or output. The exit status is 0 on success,\n"
    "1 when the file cannot be decoded or written, 2 for a wrong command line.\n";

struct Options {
    bool info = false;
    bool raw = false;
    bool quiet = false;
    bool gapless = true;
    std::vector<std::string> files;
};

// Fills `options`; false on a wrong command line. `exitNow` is set for --help and --version.
bool parseArguments(int argc, char** argv, Options* options, bool* exitNow) {
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyFiles || arg == "-" || arg.empty() || arg[0] != '-') {
            options->files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            *exitNow = true;
            return true;
        } else if (arg == "--version") {
            std::printf("kivo-decode %s\n", KIVO_VERSION);
            *exitNow = true;
            return true;
        } else if (arg == "--info") {
            options->info = true;
        } else if (arg == "--raw") {
            options->raw = true;
        } else if (arg == "--no-gapless") {
            options->gapless = false;
        } else if (arg == "-q" || arg == "--quiet") {
            options->quiet = true;
        } else {
            std::fprintf(stderr, "kivo-decode: unknown option %s\n", arg.c_str());
            return false;
        }
    }
    const size_t files = options->info ? 1 : 2;
    return options->files.size() == files && !(options->info && options->raw);
}

int fail(const std::string& subject, const std::string& message) {
    std::fprintf(stderr, "kivo-decode: %s: %s\n", subject.c_str(), message.c_str());
    return 1;
}

// Whether writing `output` would destroy `input` (the same file under another name too).
bool sameFile(const std::string& input, const std::string& output) {
    if (input == "-" || output == "-") return false;
    std::error_code error;
    return std::filesystem::equivalent(input, output, error) && !error;
}

// Keeps the walker's window filled ahead of its read position.
void slideWindow(InputWindow& input, FrameWalker& walker) {
    const size_t dropped = input.slide(walker.position());
    if (dropped > 0) walker.slide(input.bytes(), dropped);
}

// A bar on stderr, redrawn when the whole percentage changes; only on a terminal.
class ProgressBar {
public:
    explicit ProgressBar(bool wanted) : shown_(wanted && isatty(STDERR_FILENO) == 1) {}
    void update(size_t done, size_t total) {
        if (!shown_ || total == 0) return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == last_) return;
        last_ = percent;
        char bar[41];
        const int filled = percent * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = 0;
        std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    }
    void clear() {
        if (shown_ && last_ >= 0) std::fprintf(stderr, "\r%52s\r", "");
    }

private:
    bool shown_;
    int last_ = -1;
};

int decode(const std::string& inputName, InputWindow& input, FrameWalker& walker,
           const std::string& output, const Options& options) {
    auto decoder = std::make_unique<kivo::mpeg::MpegDecoder>();
    if (!walker.initDecoder(*decoder)) return fail(inputName, "the decoder refuses this stream");
    const kivo::mpeg::PcmFormat format = decoder->format();
    kivo::tools::PcmOutput out;
    if (!out.open(output, !options.raw, format.channels, format.sampleRate)) {
        return fail(output, std::string("cannot write: ") + std::strerror(errno));
    }
    constexpr size_t kBlockValues = 4608;
    const auto frameBytes = static_cast<uint32_t>(kBlockValues * sizeof(int16_t));
    std::optional<kivo::GaplessTrim> trim;
    if (const auto gap = kivo::encoderGapOf(walker.xing());
        options.gapless && gap && walker.header().layerCode == kivo::mpeg::kLayerIII) {
        trim.emplace(*gap, static_cast<uint32_t>(std::max(format.channels, 1)) * 2, frameBytes,
                     true);
    }
    if (options.gapless) walker.skipHeaderFrame();
    std::vector<int16_t> block(kBlockValues);
    ProgressBar progress(!options.quiet);
    int64_t frames = 0;
    auto write = [&](size_t bytes) { return bytes < 2 || out.write(block.data(), bytes / 2); };
    for (;;) {
        slideWindow(input, walker);
        void* target = trim ? static_cast<void*>(trim->space()) : block.data();
        const int64_t produced = walker.decodeNext(*decoder, target);
        if (produced < 0) break;
        const size_t bytes =
            std::min(static_cast<size_t>(produced), size_t{frameBytes}) & ~size_t{1};
        bool written;
        if (trim) {
            trim->commit(bytes);
            const size_t ready = trim->ready();
            trim->take(reinterpret_cast<uint8_t*>(block.data()), ready);
            written = write(ready);
        } else {
            written = write(bytes);
        }
        if (!written) {
            progress.clear();
            return fail(output, std::string("cannot write: ") + std::strerror(errno));
        }
        if (produced > 0) ++frames;
        progress.update(input.dropped() + walker.position(), input.audioBytes());
    }
    progress.clear();
    if (!input.ok()) return fail(inputName, std::string("cannot read: ") + std::strerror(errno));
    if (frames == 0) return fail(inputName, "no frame could be decoded");
    if (trim) {
        trim->finish();
        while (const size_t ready = std::min(trim->ready(), size_t{frameBytes})) {
            trim->take(reinterpret_cast<uint8_t*>(block.data()), ready);
            if (!write(ready)) {
                return fail(output, std::string("cannot write: ") + std::strerror(errno));
            }
        }
    }
    if (!out.finish()) return fail(output, std::string("cannot write: ") + std::strerror(errno));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool exitNow = false;
    if (!parseArguments(argc, argv, &options, &exitNow)) {
        std::fputs(kUsage, stderr);
        std::fputs("Try 'kivo-decode --help' for more.\n", stderr);
        return 2;
    }
    if (exitNow) return std::fflush(stdout) == 0 ? 0 : 1;
    const std::string& inputName = options.files[0];
    if (!options.info && sameFile(inputName, options.files[1])) {
        return fail(options.files[1], "is the input; it is not written over");
    }
    InputWindow input;
    if (!input.open(inputName)) {
        return fail(inputName, std::string("cannot read: ") + std::strerror(errno));
    }
    FrameWalker walker(input.bytes());
    if (!walker.findStream()) {
        if (FrameWalker::holdsLayer1Stream(input.bytes())) {
            return fail(inputName, "Layer I is not supported");
        }
        return fail(inputName, "no MPEG audio stream");
    }
    if (options.info) {
        auto info = kivo::tools::gatherStreamInfo(walker, [&] { slideWindow(input, walker); });
        info.tags = kivo::tools::readTagText(inputName);
        std::fputs(kivo::tools::formatStreamInfo(info).c_str(), stdout);
        return 0;
    }
    return decode(inputName, input, walker, options.files[1], options);
}
