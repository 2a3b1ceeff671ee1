// Where kivo-decode writes its PCM: a WAV file (16-bit PCM, RIFF) whose sizes are filled in
// when it is finished, or raw little-endian samples to a file or standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kivo::tools {

class PcmOutput {
public:
    PcmOutput() = default;
    PcmOutput(const PcmOutput&) = delete;
    PcmOutput& operator=(const PcmOutput&) = delete;
    // Removes an unfinished regular file.
    ~PcmOutput();

    // Opens `path` ("-" is standard output). False with errno set when it cannot be written.
    bool open(const std::string& path, bool wav, int channels, int sampleRate);
    // Appends interleaved native-endian 16-bit samples.
    bool write(const int16_t* samples, size_t count);
    // Completes the WAV header and closes; false when anything could not be written.
    bool finish();

private:
    // Samples are handed to stdio in chunks: a frame's (4.5 KiB) would outgrow its usual 4 KiB
    // buffer and cost a system call each.
    static constexpr size_t kChunkBytes = size_t{64} << 10;

    bool writeWavHeader(uint32_t dataBytes);
    bool writePending();
    void discard();

    FILE* file_ = nullptr;
    std::string path_;
    bool wav_ = false;
    bool toStdout_ = false;
    bool regularFile_ = false;
    bool seekable_ = false;  // the sizes are written again at the end
    int channels_ = 0;
    int sampleRate_ = 0;
    uint64_t dataBytes_ = 0;
    std::vector<uint8_t> pending_;
};

}  // namespace kivo::tools
