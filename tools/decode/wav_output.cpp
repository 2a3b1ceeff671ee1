#include "wav_output.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <algorithm>
#include <bit>
#include <cerrno>
#include <limits>
#include <vector>

namespace kivo::tools {

namespace {

constexpr uint32_t kUnknownDataBytes = std::numeric_limits<uint32_t>::max() - 36;

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

PcmOutput::~PcmOutput() {
    if (file_ && !toStdout_) {
        std::fclose(file_);
        discard();
    }
}

void PcmOutput::discard() {
    // Only a regular file is ours to remove; a device or pipe named as output stays.
    if (regularFile_) std::remove(path_.c_str());
}

bool PcmOutput::open(const std::string& path, bool wav, int channels, int sampleRate) {
    path_ = path;
    wav_ = wav;
    channels_ = channels;
    sampleRate_ = sampleRate;
    toStdout_ = path == "-";
#ifdef _WIN32
    // Windows opens standard output in text mode, which would turn every byte 10 of the PCM
    // into 13 10.
    if (toStdout_ && _setmode(_fileno(stdout), _O_BINARY) == -1) return false;
#endif
    file_ = toStdout_ ? stdout : std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    pending_.reserve(kChunkBytes);
    struct stat st {};
    regularFile_ = !toStdout_ && fstat(fileno(file_), &st) == 0 && S_ISREG(st.st_mode);
    // Standard output is never rewound: it may be appending to a file.
    seekable_ = regularFile_;
    // The sizes are written again once they are known.
    // A pipe cannot be rewound: its header says "as long as the data goes on", the usual
    // convention for streamed WAV.
    return !wav_ || writeWavHeader(seekable_ ? 0 : kUnknownDataBytes);
}

bool PcmOutput::writeWavHeader(uint32_t dataBytes) {
    std::vector<uint8_t> h;
    const uint32_t blockAlign = static_cast<uint32_t>(channels_) * 2;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    putLe(h, 36 + dataBytes, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(h, 16, 4);
    putLe(h, 1, 2);  // PCM
    putLe(h, static_cast<uint32_t>(channels_), 2);
    putLe(h, static_cast<uint32_t>(sampleRate_), 4);
    putLe(h, static_cast<uint32_t>(sampleRate_) * blockAlign, 4);
    putLe(h, blockAlign, 2);
    putLe(h, 16, 2);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    putLe(h, dataBytes, 4);
    return std::fwrite(h.data(), 1, h.size(), file_) == h.size();
}

bool PcmOutput::write(const int16_t* samples, size_t count) {
    const size_t bytes = 2 * count;
    // Written out before the chunk would outgrow its reserved room.
    if (pending_.size() + bytes > kChunkBytes && !writePending()) return false;
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < count; ++i) {
            const auto u = static_cast<uint16_t>(samples[i]);
            pending_.push_back(static_cast<uint8_t>(u));
            pending_.push_back(static_cast<uint8_t>(u >> 8));
        }
    } else {
        const auto* from = reinterpret_cast<const uint8_t*>(samples);
        pending_.insert(pending_.end(), from, from + bytes);
    }
    dataBytes_ += bytes;
    return true;
}

bool PcmOutput::writePending() {
    const size_t n = pending_.size();
    const bool ok = std::fwrite(pending_.data(), 1, n, file_) == n;
    pending_.clear();
    return ok;
}

bool PcmOutput::finish() {
    bool ok = writePending();
    ok = std::fflush(file_) == 0 && ok;
    if (ok && wav_ && seekable_) {
        // A RIFF file cannot say more than 4 GiB; the data itself is complete either way.
        const auto limit = kUnknownDataBytes;
        const auto bytes = static_cast<uint32_t>(std::min<uint64_t>(dataBytes_, limit));
        ok = std::fseek(file_, 0, SEEK_SET) == 0 && writeWavHeader(bytes);
    }
    if (toStdout_) {
        file_ = nullptr;
        return ok && std::fflush(stdout) == 0;
    }
    const int saved = errno;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        discard();
        if (saved) errno = saved;
    }
    return ok;
}

}  // namespace kivo::tools
