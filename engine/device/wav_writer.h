// A PCM WAV file written as the sound arrives. The header's sizes are fixed up whenever a
// device lets go of the file, so the file is complete after every close; several devices in a
// row may share one writer and so add song after song to one file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "device/wave_out_device.h"

namespace kivo::device {

class WavWriter {
public:
    explicit WavWriter(std::string path);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file at the first call; later calls must bring the same format.
    bool begin(const WaveFormat& format);
    // Adds PCM as the device plays it (signed; 8-bit samples are stored unsigned as WAV wants).
    void append(const uint8_t* data, size_t bytes);
    // Fixes up the header; the file stays open for a later begin.
    void finish();
    // Whether every byte reached the file.
    bool ok() const;

private:
    void writeHeader();

    mutable std::mutex mutex_;
    std::string path_;
    FILE* file_ = nullptr;
    WaveFormat format_;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

}  // namespace kivo::device
