// What every backend shares: the rules for preparing, queueing and unpreparing buffers, a
// device thread that plays the queue and reports buffers done, and the commands (pause,
// restart, reset, close) that the caller hands to that thread and waits for. A backend gives the
// thread body and the opening and closing of the real device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "device/wave_out_device.h"

namespace kivo::device {

class QueuedDevice : public WaveOutDevice {
public:
    ~QueuedDevice() override;

    DeviceResult open(const WaveFormat& format, BufferDone done) override;
    DeviceResult prepare(DeviceBuffer* buffer) override;
    DeviceResult write(DeviceBuffer* buffer) override;
    DeviceResult pause() override;
    DeviceResult restart() override;
    DeviceResult reset() override;
    DeviceResult unprepare(DeviceBuffer* buffer) override;
    DeviceResult close() override;
    bool lost() const override { return lost_.load(std::memory_order_acquire); }

protected:
    enum class Command { None, Pause, Restart, Reset, Close };

    // Opens the real device on the caller's thread; false when it refuses.
    virtual bool openBackend(const WaveFormat& format) = 0;
    // Called on the caller's thread after the device thread has ended.
    virtual void closeBackend() = 0;
    // The device thread. It ends after acknowledging Close.
    virtual void run() = 0;
    // Interrupts the device thread's wait; the default wakes waits on `changed_`.
    virtual void wakeThread() { changed_.notify_all(); }

    // Every derived destructor calls this first: resets and closes an open device so that the
    // thread is gone before the derived members are.
    void shutdown();

    // For the device thread, under `mutex_`: the command waiting to be carried out.
    Command pendingCommand() const { return command_; }
    // For the device thread, under `mutex_`: the command has been carried out.
    void acknowledge();
    // For the device thread: the real device has stopped working.
    void markLost() { lost_.store(true, std::memory_order_release); }
    // For the device thread, with `lock` held on entry and on return: removes the `count`
    // oldest buffers from the queue and reports them done, in order, outside the lock.
    void reportDone(std::unique_lock<std::mutex>& lock, size_t count);

    const WaveFormat& format() const { return format_; }

    std::mutex mutex_;
    std::condition_variable changed_;  // queue, command or pause state changed
    std::deque<DeviceBuffer*> queue_;  // written and not yet reported done, oldest first
    bool paused_ = false;              // owned by the device thread once it runs

private:
    DeviceResult runCommand(Command command);

    WaveFormat format_;
    BufferDone done_;
    bool open_ = false;
    Command command_ = Command::None;
    uint64_t commandsIssued_ = 0;
    uint64_t commandsDone_ = 0;
    std::condition_variable acknowledged_;
    std::atomic<bool> lost_{false};
    std::mutex callerMutex_;  // one command at a time
    std::thread thread_;
};

}  // namespace kivo::device
