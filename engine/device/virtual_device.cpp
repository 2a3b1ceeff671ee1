#include "device/virtual_device.h"

#include <algorithm>
#include <utility>

namespace kivo::device {

using Clock = std::chrono::steady_clock;

void VirtualDeviceLog::addCall(DeviceCall call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

void VirtualDeviceLog::addPcm(const uint8_t* data, size_t bytes) {
    std::lock_guard lock(mutex_);
    pcm_.insert(pcm_.end(), data, data + bytes);
}

void VirtualDeviceLog::setFormat(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
}

std::vector<DeviceCall> VirtualDeviceLog::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<uint8_t> VirtualDeviceLog::pcm() const {
    std::lock_guard lock(mutex_);
    return pcm_;
}

WaveFormat VirtualDeviceLog::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

size_t VirtualDeviceLog::count(const std::string& op, DeviceResult result) const {
    std::lock_guard lock(mutex_);
    return std::count_if(calls_.begin(), calls_.end(),
                         [&](const DeviceCall& c) { return c.op == op && c.result == result; });
}

size_t VirtualDeviceLog::pcmBytes() const {
    std::lock_guard lock(mutex_);
    return pcm_.size();
}

VirtualDevice::VirtualDevice(VirtualDeviceOptions options) : options_(std::move(options)) {}

VirtualDevice::~VirtualDevice() {
    shutdown();
}

DeviceResult VirtualDevice::note(const char* op, DeviceResult result, uint32_t bytes) {
    if (options_.log) options_.log->addCall({op, result, bytes, Clock::now()});
    return result;
}

static uint32_t lengthOf(const DeviceBuffer* buffer) {
    return buffer ? buffer->bytes : 0;
}

DeviceResult VirtualDevice::open(const WaveFormat& format, BufferDone done) {
    return note("open", QueuedDevice::open(format, std::move(done)));
}
DeviceResult VirtualDevice::prepare(DeviceBuffer* buffer) {
    return note("prepare", QueuedDevice::prepare(buffer), lengthOf(buffer));
}
DeviceResult VirtualDevice::write(DeviceBuffer* buffer) {
    // Timed before the buffer is queued: the device may play it before write returns.
    const uint32_t bytes = lengthOf(buffer);
    const auto when = Clock::now();
    const DeviceResult result = QueuedDevice::write(buffer);
    if (options_.log) options_.log->addCall({"write", result, bytes, when});
    return result;
}
DeviceResult VirtualDevice::pause() {
    return note("pause", QueuedDevice::pause());
}
DeviceResult VirtualDevice::restart() {
    return note("restart", QueuedDevice::restart());
}
DeviceResult VirtualDevice::reset() {
    return note("reset", QueuedDevice::reset());
}
DeviceResult VirtualDevice::unprepare(DeviceBuffer* buffer) {
    return note("unprepare", QueuedDevice::unprepare(buffer), lengthOf(buffer));
}
DeviceResult VirtualDevice::close() {
    return note("close", QueuedDevice::close());
}

bool VirtualDevice::openBackend(const WaveFormat& format) {
    if (options_.refuseOpen || !openSink(format)) return false;
    if (options_.log) options_.log->setFormat(format);
    return true;
}

void VirtualDevice::closeBackend() {
    closeSink();
}

void VirtualDevice::run() {
    const bool paced = options_.speed > 0;
    const double bytesPerSecond = format().bytesPerSecond() * (paced ? options_.speed : 1.0);
    const uint32_t align = static_cast<uint32_t>(format().blockAlign());
    // Paced playback advances in slices of about 10 ms, so that a pause stops it at once.
    const uint32_t slice =
        std::max<uint32_t>(align, static_cast<uint32_t>(bytesPerSecond / 100) / align * align);
    // The moment the sound handed out so far has finished playing.
    Clock::time_point playedUntil = Clock::now();
    Clock::duration remainingAtPause{};
    uint32_t offset = 0;  // bytes of the oldest buffer already played
    uint64_t playedBytes = 0;

    std::unique_lock lock(mutex_);
    for (;;) {
        switch (pendingCommand()) {
            case Command::Pause:
                if (!paused_) remainingAtPause = std::max(playedUntil - Clock::now(), {});
                paused_ = true;
                acknowledge();
                continue;
            case Command::Restart:
                if (paused_) playedUntil = Clock::now() + remainingAtPause;
                paused_ = false;
                acknowledge();
                continue;
            case Command::Reset:
                offset = 0;
                playedUntil = Clock::now();
                remainingAtPause = {};
                reportDone(lock, queue_.size());
                acknowledge();
                continue;
            case Command::Close:
                acknowledge();
                return;
            case Command::None:
                break;
        }
        if (paused_ || queue_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const auto now = Clock::now();
        if (paced && now < playedUntil) {
            changed_.wait_until(lock, playedUntil);
            continue;
        }
        DeviceBuffer* buffer = queue_.front();
        if (offset >= buffer->bytes) {
            offset = 0;
            reportDone(lock, 1);
            continue;
        }
        const uint32_t chunk =
            paced ? std::min(slice, buffer->bytes - offset) : buffer->bytes - offset;
        // Only this thread removes buffers, so the bytes stay valid without the lock.
        lock.unlock();
        if (options_.log && options_.recordPcm) options_.log->addPcm(buffer->data + offset, chunk);
        consume(buffer->data + offset, chunk);
        lock.lock();
        offset += chunk;
        playedBytes += chunk;
        // A sound card pulled out: it goes on against the clock, as the real backends do.
        if (options_.lostAfterBytes > 0 && playedBytes >= options_.lostAfterBytes) markLost();
        if (paced) {
            // Small lateness of the thread is caught up; an idle gap is not.
            if (playedUntil < now - std::chrono::milliseconds(50)) playedUntil = now;
            playedUntil += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(chunk / bytesPerSecond));
        }
    }
}

}  // namespace kivo::device
