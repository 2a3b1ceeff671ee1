// The Windows sound device: winmm's wave-out. Every buffer the caller queues gets a wave
// header of its own that points at the caller's memory, so nothing is copied; winmm plays the
// headers in the order they were written and marks each one done once it has been played.
//
// The device is opened with an event rather than a callback function: winmm allows a callback
// almost no system calls, and a callback that waited for a lock held by a caller inside a
// wave-out call would hang both. Our own thread waits on the event instead and reports the
// done buffers oldest first, outside any lock, as every backend does. No wave-out call is made
// while the bookkeeping lock is held, for the same reason.
//
// winmm marks a header done by the audio clock, and the sound system still holds a short tail
// of it then: a caller that resets or closes the device at once cuts the end of the song off.
// So the last buffer of the queue is reported only once winmm's playback position has reached
// the end of everything written (or after a limit, for a position that never gets there),
// unless more sound follows it or the caller resets the device.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_backends.h"

namespace kivo::device {

namespace {

using Clock = std::chrono::steady_clock;

// The last buffer waits at least kTailMin (the sound system's own latency, which a position
// may not count) and at most kTailLimit for the playback position to reach its end, looking at
// the position every kTailLookMs meanwhile.
constexpr auto kTailMin = std::chrono::milliseconds(100);
constexpr auto kTailLimit = std::chrono::milliseconds(1000);
constexpr DWORD kTailLookMs = 10;

DeviceResult resultOf(MMRESULT result) {
    if (result == MMSYSERR_NOERROR) return DeviceResult::Ok;
    return result == WAVERR_STILLPLAYING ? DeviceResult::StillPlaying : DeviceResult::Error;
}

class WinmmDevice final : public WaveOutDevice {
public:
    explicit WinmmDevice(UINT deviceId) : deviceId_(deviceId) {}
    ~WinmmDevice() override;

    DeviceResult open(const WaveFormat& format, BufferDone done) override;
    DeviceResult prepare(DeviceBuffer* buffer) override;
    DeviceResult write(DeviceBuffer* buffer) override;
    DeviceResult pause() override;
    DeviceResult restart() override;
    DeviceResult reset() override;
    DeviceResult unprepare(DeviceBuffer* buffer) override;
    DeviceResult close() override;

private:
    // The header winmm knows the buffer by; made on the first prepare and kept until close.
    WAVEHDR* headerOf(DeviceBuffer* buffer);
    // The reporting thread: wakes on winmm's event and hands back the buffers it has played.
    void run();
    // Reports the buffers played so far; answers how long to wait for the last one's tail.
    DWORD reportPlayed(std::unique_lock<std::mutex>& lock);
    // Whether the playback position has reached the end of what was written; called without
    // the bookkeeping lock.
    bool positionReached(uint32_t writtenBytes);

    const UINT deviceId_;
    HWAVEOUT handle_ = nullptr;
    HANDLE event_ = nullptr;
    BufferDone done_;
    std::thread thread_;

    std::mutex callerMutex_;  // one caller's wave-out call at a time
    std::mutex mutex_;        // the bookkeeping below, shared with the reporting thread
    std::condition_variable reported_;
    std::map<DeviceBuffer*, std::unique_ptr<WAVEHDR>> headers_;
    std::deque<DeviceBuffer*> queue_;  // written and not yet reported done, oldest first
    bool stopping_ = false;
    bool resetting_ = false;          // every buffer winmm marks done goes back at once
    Clock::time_point tailEarliest_;  // the last buffer is not reported before
    Clock::time_point tailLimit_;     // and is reported then, whatever the position says
    bool tailWaiting_ = false;
    uint32_t writtenBytes_ = 0;  // since open or reset, as winmm's byte position counts (mod 2^32)
};

WinmmDevice::~WinmmDevice() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (handle_ == nullptr) return;
        }
        reset();
        if (close() != DeviceResult::StillPlaying) return;
    }
}

DeviceResult WinmmDevice::open(const WaveFormat& format, BufferDone done) {
    // Opening again takes a new format; the old one must have played out first.
    if (handle_ != nullptr && close() != DeviceResult::Ok) return DeviceResult::Error;
    std::lock_guard caller(callerMutex_);
    if (format.channels <= 0 || format.sampleRate <= 0 || format.bitsPerSample <= 0 ||
        format.bitsPerSample % 8 != 0) {
        return DeviceResult::Error;
    }
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
    wave.nBlockAlign = static_cast<WORD>(format.blockAlign());
    wave.nAvgBytesPerSec = static_cast<DWORD>(format.bytesPerSecond());
    wave.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
    wave.cbSize = 0;

    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) return DeviceResult::Error;
    HWAVEOUT handle = nullptr;
    if (waveOutOpen(&handle, deviceId_, &wave, reinterpret_cast<DWORD_PTR>(event), 0,
                    CALLBACK_EVENT | WAVE_ALLOWSYNC) != MMSYSERR_NOERROR) {
        CloseHandle(event);
        return DeviceResult::Error;
    }
    std::lock_guard lock(mutex_);
    handle_ = handle;
    event_ = event;
    done_ = std::move(done);
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return DeviceResult::Ok;
}

WAVEHDR* WinmmDevice::headerOf(DeviceBuffer* buffer) {
    auto& header = headers_[buffer];
    if (!header) header = std::make_unique<WAVEHDR>();
    return header.get();
}

DeviceResult WinmmDevice::prepare(DeviceBuffer* buffer) {
    std::lock_guard caller(callerMutex_);
    WAVEHDR* header;
    {
        std::lock_guard lock(mutex_);
        if (handle_ == nullptr || buffer == nullptr || buffer->queued) return DeviceResult::Error;
        header = headerOf(buffer);
    }
    if (buffer->prepared) waveOutUnprepareHeader(handle_, header, sizeof(WAVEHDR));
    *header = WAVEHDR{};
    header->lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(buffer->data));
    header->dwBufferLength = buffer->bytes;
    const DeviceResult result = resultOf(waveOutPrepareHeader(handle_, header, sizeof(WAVEHDR)));
    buffer->prepared = result == DeviceResult::Ok;
    return result;
}

DeviceResult WinmmDevice::write(DeviceBuffer* buffer) {
    std::lock_guard caller(callerMutex_);
    WAVEHDR* header;
    {
        std::lock_guard lock(mutex_);
        if (handle_ == nullptr || buffer == nullptr || !buffer->prepared || buffer->queued ||
            (buffer->data == nullptr && buffer->bytes > 0)) {
            return DeviceResult::Error;
        }
        header = headerOf(buffer);
        header->dwFlags &= ~static_cast<DWORD>(WHDR_DONE);  // a header written once before
        // In the queue before winmm can mark it done, so the reporting thread finds it.
        buffer->queued = true;
        queue_.push_back(buffer);
        writtenBytes_ += buffer->bytes;
        // A buffer held back for its tail has sound behind it now.
        if (tailWaiting_) SetEvent(event_);
    }
    const DeviceResult result = resultOf(waveOutWrite(handle_, header, sizeof(WAVEHDR)));
    if (result != DeviceResult::Ok) {
        std::lock_guard lock(mutex_);
        buffer->queued = false;
        std::erase(queue_, buffer);
        writtenBytes_ -= buffer->bytes;
    }
    return result;
}

DeviceResult WinmmDevice::unprepare(DeviceBuffer* buffer) {
    std::lock_guard caller(callerMutex_);
    WAVEHDR* header;
    {
        std::lock_guard lock(mutex_);
        if (handle_ == nullptr || buffer == nullptr) return DeviceResult::Error;
        // Played by winmm is not enough: the buffer is the caller's again once reported.
        if (buffer->queued) return DeviceResult::StillPlaying;
        header = headerOf(buffer);
    }
    if (!buffer->prepared) return DeviceResult::Ok;
    const DeviceResult result = resultOf(waveOutUnprepareHeader(handle_, header, sizeof(WAVEHDR)));
    if (result == DeviceResult::Ok) buffer->prepared = false;
    return result;
}

DeviceResult WinmmDevice::pause() {
    std::lock_guard caller(callerMutex_);
    if (handle_ == nullptr) return DeviceResult::Error;
    return resultOf(waveOutPause(handle_));
}

DeviceResult WinmmDevice::restart() {
    std::lock_guard caller(callerMutex_);
    if (handle_ == nullptr) return DeviceResult::Error;
    return resultOf(waveOutRestart(handle_));
}

DeviceResult WinmmDevice::reset() {
    std::lock_guard caller(callerMutex_);
    if (handle_ == nullptr) return DeviceResult::Error;
    const DeviceResult result = resultOf(waveOutReset(handle_));
    if (result != DeviceResult::Ok) return result;
    // winmm has marked every header done; the caller gets them all back before we return.
    std::unique_lock lock(mutex_);
    resetting_ = true;
    SetEvent(event_);
    reported_.wait(lock, [&] { return queue_.empty(); });
    resetting_ = false;
    writtenBytes_ = 0;  // the reset has set the position back to 0
    return result;
}

DeviceResult WinmmDevice::close() {
    std::lock_guard caller(callerMutex_);
    {
        std::lock_guard lock(mutex_);
        if (handle_ == nullptr) return DeviceResult::Error;
        if (!queue_.empty()) return DeviceResult::StillPlaying;
    }
    const DeviceResult result = resultOf(waveOutClose(handle_));
    if (result != DeviceResult::Ok) return result;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        handle_ = nullptr;
        headers_.clear();
    }
    SetEvent(event_);
    thread_.join();
    CloseHandle(event_);
    event_ = nullptr;
    return DeviceResult::Ok;
}

DWORD WinmmDevice::reportPlayed(std::unique_lock<std::mutex>& lock) {
    // winmm plays in order, so only the oldest can be next; one at a time, the lock released
    // while the caller's callback runs.
    // winmm sets the flag on its own thread.
    auto played = [this](DeviceBuffer* buffer) {
        return (static_cast<volatile DWORD&>(headers_[buffer]->dwFlags) & WHDR_DONE) != 0;
    };
    DWORD wait = INFINITE;
    while (!queue_.empty() && played(queue_.front())) {
        if (queue_.size() == 1 && !resetting_) {
            const auto now = Clock::now();
            if (!tailWaiting_) {
                tailWaiting_ = true;
                tailEarliest_ = now + kTailMin;
                tailLimit_ = now + kTailLimit;
            }
            if (now < tailEarliest_) {
                wait = static_cast<DWORD>(
                    std::chrono::ceil<std::chrono::milliseconds>(tailEarliest_ - now).count());
                break;
            }
            if (now < tailLimit_) {
                const uint32_t written = writtenBytes_;
                lock.unlock();
                const bool heard = positionReached(written);
                lock.lock();
                // A write or a reset may have come meanwhile: look at the queue again.
                if (!heard) {
                    wait = kTailLookMs;
                    break;
                }
                if (queue_.size() != 1 || resetting_ || writtenBytes_ != written) continue;
            }
        }
        tailWaiting_ = false;
        DeviceBuffer* buffer = queue_.front();
        queue_.pop_front();
        buffer->queued = false;
        lock.unlock();
        if (done_) done_(buffer);
        lock.lock();
    }
    reported_.notify_all();
    return wait;
}

bool WinmmDevice::positionReached(uint32_t writtenBytes) {
    MMTIME position{};
    position.wType = TIME_BYTES;
    if (waveOutGetPosition(handle_, &position, sizeof(position)) != MMSYSERR_NOERROR ||
        position.wType != TIME_BYTES) {
        return false;  // no position to go by: the limit decides
    }
    // Modular distance, so that the count may wrap after 4 GiB.
    return static_cast<int32_t>(position.u.cb - writtenBytes) >= 0;
}

void WinmmDevice::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const DWORD wait = reportPlayed(lock);
        lock.unlock();
        WaitForSingleObject(event_, wait);
        lock.lock();
    }
}

}  // namespace

std::unique_ptr<WaveOutDevice> createWaveOutDevice(uint32_t deviceId) {
    return std::make_unique<WinmmDevice>(deviceId);
}

}  // namespace kivo::device
