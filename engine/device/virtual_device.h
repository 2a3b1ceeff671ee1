// A sound device without sound hardware: it plays its queue against a clock (real time, a
// chosen speed-up, or as fast as it is fed) and can record what it played and every call it
// got. Tests and tools use it; the WAV-file device is one with a file behind it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/queued_device.h"

namespace kivo::device {

struct DeviceCall {
    std::string
        op;  // "open", "prepare", "write", "pause", "restart", "reset", "unprepare", "close"
    DeviceResult result = DeviceResult::Ok;
    uint32_t bytes = 0;  // the buffer's length for prepare, write and unprepare
    std::chrono::steady_clock::time_point when;
};

// What one or more virtual devices were asked and played. Shared with the test that reads it,
// so it outlives the devices.
class VirtualDeviceLog {
public:
    void addCall(DeviceCall call);
    void addPcm(const uint8_t* data, size_t bytes);
    void setFormat(const WaveFormat& format);

    std::vector<DeviceCall> calls() const;
    std::vector<uint8_t> pcm() const;
    WaveFormat format() const;
    // How many calls named `op` answered `result`.
    size_t count(const std::string& op, DeviceResult result = DeviceResult::Ok) const;
    // Bytes played so far.
    size_t pcmBytes() const;

private:
    mutable std::mutex mutex_;
    std::vector<DeviceCall> calls_;
    std::vector<uint8_t> pcm_;
    WaveFormat format_;
};

struct VirtualDeviceOptions {
    double speed = 1.0;                     // 1 real time, 10 ten times as fast, 0 or less unpaced
    bool refuseOpen = false;                // every open fails, as with a missing sound card
    uint64_t lostAfterBytes = 0;            // lost once it has played this much (0: never)
    bool recordPcm = true;                  // keep the played PCM in the log
    std::shared_ptr<VirtualDeviceLog> log;  // none: record nothing
};

class VirtualDevice : public QueuedDevice {
public:
    explicit VirtualDevice(VirtualDeviceOptions options = {});
    ~VirtualDevice() override;

    DeviceResult open(const WaveFormat& format, BufferDone done) override;
    DeviceResult prepare(DeviceBuffer* buffer) override;
    DeviceResult write(DeviceBuffer* buffer) override;
    DeviceResult pause() override;
    DeviceResult restart() override;
    DeviceResult reset() override;
    DeviceResult unprepare(DeviceBuffer* buffer) override;
    DeviceResult close() override;

protected:
    // Where played PCM goes besides the log; the WAV-file device puts it into its file.
    virtual bool openSink(const WaveFormat&) { return true; }
    virtual void consume(const uint8_t*, size_t) {}
    virtual void closeSink() {}

private:
    bool openBackend(const WaveFormat& format) override;
    void closeBackend() override;
    void run() override;
    DeviceResult note(const char* op, DeviceResult result, uint32_t bytes = 0);

    VirtualDeviceOptions options_;
};

}  // namespace kivo::device
