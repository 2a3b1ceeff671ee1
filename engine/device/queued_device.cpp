#include "device/queued_device.h"

namespace kivo::device {

QueuedDevice::~QueuedDevice() = default;

DeviceResult QueuedDevice::open(const WaveFormat& format, BufferDone done) {
    // Opening again takes a new format; the old one must have played out first.
    if (QueuedDevice::close() == DeviceResult::StillPlaying) return DeviceResult::Error;
    std::lock_guard caller(callerMutex_);
    if (format.channels <= 0 || format.sampleRate <= 0 || format.bitsPerSample <= 0 ||
        format.bitsPerSample % 8 != 0 || !openBackend(format)) {
        return DeviceResult::Error;
    }
    std::lock_guard lock(mutex_);
    format_ = format;
    done_ = std::move(done);
    paused_ = false;
    lost_.store(false, std::memory_order_release);
    command_ = Command::None;
    open_ = true;
    thread_ = std::thread([this] { run(); });
    return DeviceResult::Ok;
}

DeviceResult QueuedDevice::prepare(DeviceBuffer* buffer) {
    std::lock_guard lock(mutex_);
    if (!open_ || buffer == nullptr || buffer->queued) return DeviceResult::Error;
    buffer->prepared = true;
    return DeviceResult::Ok;
}

DeviceResult QueuedDevice::write(DeviceBuffer* buffer) {
    std::lock_guard lock(mutex_);
    if (!open_ || buffer == nullptr || !buffer->prepared || buffer->queued ||
        (buffer->data == nullptr && buffer->bytes > 0)) {
        return DeviceResult::Error;
    }
    buffer->queued = true;
    queue_.push_back(buffer);
    wakeThread();
    return DeviceResult::Ok;
}

DeviceResult QueuedDevice::unprepare(DeviceBuffer* buffer) {
    std::lock_guard lock(mutex_);
    if (!open_ || buffer == nullptr) return DeviceResult::Error;
    if (buffer->queued) return DeviceResult::StillPlaying;
    buffer->prepared = false;
    return DeviceResult::Ok;
}

DeviceResult QueuedDevice::pause() {
    return runCommand(Command::Pause);
}
DeviceResult QueuedDevice::restart() {
    return runCommand(Command::Restart);
}
DeviceResult QueuedDevice::reset() {
    return runCommand(Command::Reset);
}

DeviceResult QueuedDevice::close() {
    std::lock_guard caller(callerMutex_);
    std::unique_lock lock(mutex_);
    if (!open_) return DeviceResult::Error;
    if (!queue_.empty()) return DeviceResult::StillPlaying;
    // Only this caller issues commands now, and the thread ends after acknowledging Close.
    command_ = Command::Close;
    const uint64_t target = ++commandsIssued_;
    wakeThread();
    acknowledged_.wait(lock, [&] { return commandsDone_ >= target; });
    open_ = false;
    lock.unlock();
    thread_.join();
    closeBackend();
    return DeviceResult::Ok;
}

void QueuedDevice::shutdown() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!open_) return;
        }
        reset();
        if (close() != DeviceResult::StillPlaying) return;
    }
}

DeviceResult QueuedDevice::runCommand(Command command) {
    std::lock_guard caller(callerMutex_);
    std::unique_lock lock(mutex_);
    if (!open_) return DeviceResult::Error;
    command_ = command;
    const uint64_t target = ++commandsIssued_;
    wakeThread();
    acknowledged_.wait(lock, [&] { return commandsDone_ >= target; });
    return DeviceResult::Ok;
}

void QueuedDevice::acknowledge() {
    command_ = Command::None;
    ++commandsDone_;
    acknowledged_.notify_all();
}

void QueuedDevice::reportDone(std::unique_lock<std::mutex>& lock, size_t count) {
    // One at a time, so that the lock is never held while the caller's callback runs.
    for (size_t i = 0; i < count && !queue_.empty(); ++i) {
        DeviceBuffer* buffer = queue_.front();
        queue_.pop_front();
        buffer->queued = false;
        lock.unlock();
        if (done_) done_(buffer);
        lock.lock();
    }
}

}  // namespace kivo::device
