// The WAV-file device: a virtual device without a clock whose sound goes into a file.
#include <utility>

#include "device/device_backends.h"

namespace kivo::device {

namespace {

class WavDevice : public VirtualDevice {
public:
    explicit WavDevice(std::shared_ptr<WavWriter> writer)
        : VirtualDevice(unpaced()), writer_(std::move(writer)) {}
    ~WavDevice() override { shutdown(); }

private:
    static VirtualDeviceOptions unpaced() {
        VirtualDeviceOptions options;
        options.speed = 0;
        return options;
    }
    bool openSink(const WaveFormat& format) override { return writer_->begin(format); }
    void consume(const uint8_t* data, size_t bytes) override { writer_->append(data, bytes); }
    void closeSink() override { writer_->finish(); }

    std::shared_ptr<WavWriter> writer_;
};

}  // namespace

std::unique_ptr<WaveOutDevice> createWavDevice(const std::string& path) {
    return createWavDevice(std::make_shared<WavWriter>(path));
}

std::unique_ptr<WaveOutDevice> createWavDevice(std::shared_ptr<WavWriter> writer) {
    if (!writer) return nullptr;
    return std::make_unique<WavDevice>(std::move(writer));
}

std::unique_ptr<WaveOutDevice> createVirtualDevice(VirtualDeviceOptions options) {
    return std::make_unique<VirtualDevice>(std::move(options));
}

}  // namespace kivo::device
