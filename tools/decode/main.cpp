// kivo-decode: decodes an MP3 file (Layer II or III) to a WAV file or raw PCM, or describes it.
//   kivo-decode INPUT OUTPUT.wav
//   kivo-decode --raw INPUT OUTPUT      (16-bit little-endian, interleaved; "-" is stdout)
//   kivo-decode --info INPUT
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "frame_walker.h"
#include "id3_tags.h"
#include "stream_info.h"
#include "wav_output.h"

namespace {

using kivo::FrameWalker;

constexpr const char* kUsage =
    "usage: kivo-decode INPUT OUTPUT.wav\n"
    "       kivo-decode --raw INPUT OUTPUT|-\n"
    "       kivo-decode --info INPUT\n";

int fail(const std::string& subject, const std::string& message) {
    std::fprintf(stderr, "kivo-decode: %s: %s\n", subject.c_str(), message.c_str());
    return 1;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    uint8_t chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    // A directory opens but cannot be read.
    return !std::ferror(f.get());
}

// The audio of a file: after a leading ID3v2 tag, without a trailing ID3v1 tag.
std::span<const uint8_t> audioOf(const std::vector<uint8_t>& file) {
    const size_t size = file.size();
    const uint64_t start = std::min<uint64_t>(kivo::id3v2TagLength(file.data(), size), size);
    size_t end = size;
    if (size >= kivo::kId3v1Bytes &&
        kivo::endsWithId3v1(file.data() + size - kivo::kId3v1Bytes, kivo::kId3v1Bytes, size)) {
        end -= kivo::kId3v1Bytes;
    }
    if (end < start) end = static_cast<size_t>(start);
    return std::span<const uint8_t>(file).subspan(static_cast<size_t>(start), end - start);
}

// A bar on stderr, redrawn when the whole percentage changes; only on a terminal.
class ProgressBar {
public:
    ProgressBar() : shown_(isatty(STDERR_FILENO) == 1) {}
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

int decode(const std::string& input, std::span<const uint8_t> audio, FrameWalker& walker,
           const std::string& output, bool wav) {
    auto decoder = std::make_unique<kivo::mpeg::MpegDecoder>();
    if (!walker.initDecoder(*decoder)) return fail(input, "the decoder refuses this stream");
    kivo::mpeg::PcmFormat format{};
    decoder->getFormat(&format);
    kivo::tools::PcmOutput out;
    if (!out.open(output, wav, format.channels, format.sampleRate)) {
        return fail(output, std::string("cannot write: ") + std::strerror(errno));
    }
    std::vector<int16_t> block(4608);
    ProgressBar progress;
    int64_t frames = 0;
    for (;;) {
        const int64_t produced = walker.decodeNext(*decoder, block.data());
        if (produced < 0) break;
        const size_t values = std::min(static_cast<size_t>(produced) / 2, block.size());
        if (values > 0 && !out.write(block.data(), values)) {
            progress.clear();
            return fail(output, std::string("cannot write: ") + std::strerror(errno));
        }
        if (produced > 0) ++frames;
        progress.update(walker.position(), audio.size());
    }
    progress.clear();
    if (frames == 0) return fail(input, "no frame could be decoded");
    if (!out.finish()) return fail(output, std::string("cannot write: ") + std::strerror(errno));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool info = false;
    bool raw = false;
    if (!args.empty() && (args[0] == "--info" || args[0] == "--raw")) {
        info = args[0] == "--info";
        raw = args[0] == "--raw";
        args.erase(args.begin());
    }
    if (args.size() != (info ? 1u : 2u) || (!args.empty() && args[0].starts_with("--"))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& input = args[0];
    std::vector<uint8_t> file;
    if (!readWholeFile(input, &file)) {
        return fail(input, std::string("cannot read: ") + std::strerror(errno));
    }
    const std::span<const uint8_t> audio = audioOf(file);
    FrameWalker walker(audio);
    if (!walker.findStream()) {
        if (FrameWalker::holdsLayer1Stream(audio)) return fail(input, "Layer I is not supported");
        return fail(input, "no MPEG audio stream");
    }
    if (info) {
        std::fputs(kivo::tools::formatStreamInfo(kivo::tools::gatherStreamInfo(walker)).c_str(),
                   stdout);
        return 0;
    }
    return decode(input, audio, walker, args[1], !raw);
}
