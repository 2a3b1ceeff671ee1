#include "device/wav_writer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kivo::device {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

constexpr uint32_t kHeaderBytes = 44;

}  // namespace

WavWriter::WavWriter(std::string path) : path_(std::move(path)) {}

WavWriter::~WavWriter() {
    finish();
    if (file_) std::fclose(file_);
}

bool WavWriter::begin(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (file_) {
        return format.channels == format_.channels && format.sampleRate == format_.sampleRate &&
               format.bitsPerSample == format_.bitsPerSample;
    }
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return false;
    format_ = format;
    dataBytes_ = 0;
    writeHeader();
    return !failed_;
}

void WavWriter::append(const uint8_t* data, size_t bytes) {
    std::lock_guard lock(mutex_);
    if (!file_ || bytes == 0) return;
    if (format_.bitsPerSample == 8) {
        std::array<uint8_t, 4096> converted;
        for (size_t done = 0; done < bytes;) {
            const size_t n = std::min(converted.size(), bytes - done);
            for (size_t i = 0; i < n; ++i) converted[i] = data[done + i] ^ 0x80;
            if (std::fwrite(converted.data(), 1, n, file_) != n) failed_ = true;
            done += n;
        }
    } else if (std::fwrite(data, 1, bytes, file_) != bytes) {
        failed_ = true;
    }
    dataBytes_ += bytes;
}

void WavWriter::finish() {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    // RIFF sizes are 32-bit: a longer file keeps its sound but the header says as much as fits.
    writeHeader();
    if (std::fseek(file_, 0, SEEK_END) != 0 || std::fflush(file_) != 0) failed_ = true;
}

bool WavWriter::ok() const {
    std::lock_guard lock(mutex_);
    return file_ && !failed_;
}

void WavWriter::writeHeader() {
    const uint32_t data =
        static_cast<uint32_t>(std::min<uint64_t>(dataBytes_, 0xFFFFFFFFull - kHeaderBytes) & ~1ull);
    std::array<uint8_t, kHeaderBytes> h{};
    std::copy_n("RIFF", 4, h.begin());
    put32(&h[4], 36 + data);
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    put32(&h[16], 16);
    put16(&h[20], 1);  // PCM
    put16(&h[22], static_cast<uint32_t>(format_.channels));
    put32(&h[24], static_cast<uint32_t>(format_.sampleRate));
    put32(&h[28], static_cast<uint32_t>(format_.bytesPerSecond()));
    put16(&h[32], static_cast<uint32_t>(format_.blockAlign()));
    put16(&h[34], static_cast<uint32_t>(format_.bitsPerSample));
    std::copy_n("data", 4, h.begin() + 36);
    put32(&h[40], data);
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(h.data(), 1, h.size(), file_) != h.size()) {
        failed_ = true;
    }
}

}  // namespace kivo::device
