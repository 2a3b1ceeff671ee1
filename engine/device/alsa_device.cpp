// ALSA playback. The device thread hands queued buffers to ALSA straight from the caller's
// memory, sleeps in poll() until ALSA wants more or a command arrives, and reports a buffer
// done only once ALSA's delay shows that its last frame has been played.
//
// Positions are counted in frames since the device was opened: `written` frames have been
// given to ALSA, `played` of them have left the speaker, and the oldest queued buffer starts at
// `base`. When the PCM cannot pause in place, pausing drops what ALSA holds and moves the
// write cursor back to the played position, so the resumed sound neither skips nor repeats.
// A device that fails while playing goes on silently against the clock, so that the caller
// still sees its buffers come back at the pace of the sound.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "device/device_backends.h"

namespace kivo::device {

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kBufferMicros = 500000;  // what ALSA holds at most
constexpr unsigned kPeriodMicros = 100000;  // how often the thread wakes while feeding
// A stream that has not started yet is started after this long without new buffers.
constexpr auto kStartGrace = std::chrono::milliseconds(20);

snd_pcm_format_t alsaFormat(int bits) {
    switch (bits) {
        case 8:
            return SND_PCM_FORMAT_S8;
        case 16:
            return SND_PCM_FORMAT_S16_LE;
        case 24:
            return SND_PCM_FORMAT_S24_3LE;
        case 32:
            return SND_PCM_FORMAT_S32_LE;
        default:
            return SND_PCM_FORMAT_UNKNOWN;
    }
}

class AlsaDevice : public QueuedDevice {
public:
    explicit AlsaDevice(std::string name) : name_(std::move(name)) {}
    ~AlsaDevice() override { shutdown(); }

private:
    bool openBackend(const WaveFormat& format) override;
    void closeBackend() override;
    void run() override;
    void wakeThread() override;

    bool configure(const WaveFormat& format);
    uint64_t framesOf(const DeviceBuffer* buffer) const { return buffer->bytes / frameBytes_; }
    // Brings `played_` up to date and reports the buffers that have been played.
    void settle(std::unique_lock<std::mutex>& lock);
    // Hands ALSA as much of the queue as it takes.
    void feed(std::unique_lock<std::mutex>& lock);
    void pauseNow(std::unique_lock<std::mutex>& lock);
    void resumeNow(std::unique_lock<std::mutex>& lock);
    void resetNow(std::unique_lock<std::mutex>& lock);
    // Drops what ALSA holds and rewinds the write cursor to the played position.
    void rewind(std::unique_lock<std::mutex>& lock);
    void recover(int error);
    void fail();
    int waitTimeoutMs();

    std::string name_;
    snd_pcm_t* pcm_ = nullptr;
    int wakeFd_ = -1;
    std::vector<pollfd> fds_;  // ALSA's descriptors, then the wake descriptor
    bool canPause_ = false;
    uint32_t frameBytes_ = 1;
    unsigned rate_ = 44100;

    // Owned by the device thread.
    uint64_t written_ = 0;
    uint64_t played_ = 0;
    uint64_t base_ = 0;         // position of the oldest queued buffer's first frame
    size_t writeIndex_ = 0;     // queue index of the buffer being handed to ALSA
    uint32_t writeOffset_ = 0;  // bytes of it already handed over
    bool hwPaused_ = false;
    bool broken_ = false;  // ALSA failed: play silently against the clock
    double silentPlayed_ = 0;
    Clock::time_point silentTick_;
    Clock::time_point lastFeed_;
};

bool AlsaDevice::openBackend(const WaveFormat& format) {
    if (alsaFormat(format.bitsPerSample) == SND_PCM_FORMAT_UNKNOWN) return false;
    if (snd_pcm_open(&pcm_, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        pcm_ = nullptr;
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0 || !configure(format)) {
        closeBackend();
        return false;
    }
    frameBytes_ = static_cast<uint32_t>(format.blockAlign());
    rate_ = static_cast<unsigned>(format.sampleRate);
    written_ = played_ = base_ = 0;
    writeIndex_ = writeOffset_ = 0;
    hwPaused_ = broken_ = false;
    silentPlayed_ = 0;
    return true;
}

bool AlsaDevice::configure(const WaveFormat& format) {
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned bufferMicros = kBufferMicros, periodMicros = kPeriodMicros;
    int dir = 0;
    if (snd_pcm_hw_params_any(pcm_, hw) < 0 ||
        snd_pcm_hw_params_set_rate_resample(pcm_, hw, 1) < 0 ||
        snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm_, hw, alsaFormat(format.bitsPerSample)) < 0 ||
        snd_pcm_hw_params_set_channels(pcm_, hw, static_cast<unsigned>(format.channels)) < 0 ||
        snd_pcm_hw_params_set_rate(pcm_, hw, static_cast<unsigned>(format.sampleRate), 0) < 0 ||
        snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &bufferMicros, &dir) < 0 ||
        snd_pcm_hw_params_set_period_time_near(pcm_, hw, &periodMicros, &dir) < 0 ||
        snd_pcm_hw_params(pcm_, hw) < 0) {
        return false;
    }
    canPause_ = snd_pcm_hw_params_can_pause(hw) == 1;
    snd_pcm_uframes_t bufferFrames = 0, periodFrames = 0;
    snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames);
    snd_pcm_hw_params_get_period_size(hw, &periodFrames, &dir);

    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm_, sw) < 0 ||
        snd_pcm_sw_params_set_avail_min(pcm_, sw, periodFrames) < 0 ||
        snd_pcm_sw_params_set_start_threshold(pcm_, sw, std::min(bufferFrames, periodFrames)) < 0 ||
        snd_pcm_sw_params(pcm_, sw) < 0) {
        return false;
    }
    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count <= 0) return false;
    fds_.assign(static_cast<size_t>(count) + 1, pollfd{});
    if (snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count)) != count) {
        return false;
    }
    fds_.back() = pollfd{wakeFd_, POLLIN, 0};
    return true;
}

void AlsaDevice::closeBackend() {
    if (pcm_) snd_pcm_close(pcm_);
    pcm_ = nullptr;
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
    fds_.clear();
}

void AlsaDevice::wakeThread() {
    const uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
        // The counter cannot overflow in practice; a full counter still wakes the thread.
    }
}

void AlsaDevice::fail() {
    if (broken_) return;
    broken_ = true;
    silentPlayed_ = static_cast<double>(played_);
    silentTick_ = Clock::now();
    snd_pcm_drop(pcm_);
}

void AlsaDevice::recover(int error) {
    // An underrun or a suspend: what ALSA held has been played (or is lost for good).
    played_ = written_;
    if (snd_pcm_recover(pcm_, error, 1) < 0) fail();
}

void AlsaDevice::settle(std::unique_lock<std::mutex>& lock) {
    if (broken_) {
        const auto now = Clock::now();
        silentPlayed_ += std::chrono::duration<double>(now - silentTick_).count() * rate_;
        silentTick_ = now;
        silentPlayed_ = std::min(silentPlayed_, static_cast<double>(written_));
        played_ = std::max(played_, static_cast<uint64_t>(silentPlayed_));
    } else {
        snd_pcm_sframes_t delay = 0;
        const int error = snd_pcm_delay(pcm_, &delay);
        if (error == 0) {
            const uint64_t pending = std::clamp<snd_pcm_sframes_t>(delay, 0, written_);
            played_ = std::max(played_, written_ - pending);
        } else if (error == -EPIPE || error == -ESTRPIPE) {
            recover(error);
        } else if (error != -EAGAIN) {
            fail();
        }
    }
    size_t count = 0;
    uint64_t position = base_;
    while (count < writeIndex_ && position + framesOf(queue_[count]) <= played_) {
        position += framesOf(queue_[count]);
        ++count;
    }
    if (count == 0) return;
    base_ = position;
    writeIndex_ -= count;
    reportDone(lock, count);
}

void AlsaDevice::feed(std::unique_lock<std::mutex>& lock) {
    while (writeIndex_ < queue_.size()) {
        const DeviceBuffer* buffer = queue_[writeIndex_];
        const uint64_t frames = framesOf(buffer) - writeOffset_ / frameBytes_;
        if (frames == 0) {
            ++writeIndex_;
            writeOffset_ = 0;
            continue;
        }
        snd_pcm_sframes_t n = static_cast<snd_pcm_sframes_t>(frames);
        if (!broken_) {
            // Only this thread removes buffers, so the bytes stay valid without the lock.
            lock.unlock();
            n = snd_pcm_writei(pcm_, buffer->data + writeOffset_, frames);
            lock.lock();
            if (n == -EAGAIN) return;
            if (n == -EPIPE || n == -ESTRPIPE) {
                recover(static_cast<int>(n));
                continue;
            }
            if (n < 0) {
                fail();
                continue;
            }
        }
        written_ += static_cast<uint64_t>(n);
        writeOffset_ += static_cast<uint32_t>(n) * frameBytes_;
        lastFeed_ = Clock::now();
    }
}

void AlsaDevice::rewind(std::unique_lock<std::mutex>& lock) {
    settle(lock);
    if (!broken_) {
        snd_pcm_drop(pcm_);
        if (snd_pcm_prepare(pcm_) < 0) fail();
    }
    // Everything before `played_` has been reported or lies in the oldest buffer now.
    written_ = played_;
    writeIndex_ = 0;
    writeOffset_ = static_cast<uint32_t>(played_ - base_) * frameBytes_;
    if (broken_) silentPlayed_ = static_cast<double>(played_);
}

void AlsaDevice::pauseNow(std::unique_lock<std::mutex>& lock) {
    if (!broken_ && canPause_ && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING &&
        snd_pcm_pause(pcm_, 1) == 0) {
        hwPaused_ = true;
        return;
    }
    rewind(lock);
}

void AlsaDevice::resumeNow(std::unique_lock<std::mutex>& lock) {
    silentTick_ = Clock::now();
    if (!hwPaused_) return;  // rewound: feeding starts over from the played position
    hwPaused_ = false;
    if (broken_ || snd_pcm_pause(pcm_, 0) < 0) rewind(lock);
}

void AlsaDevice::resetNow(std::unique_lock<std::mutex>& lock) {
    if (!broken_) {
        snd_pcm_drop(pcm_);
        if (snd_pcm_prepare(pcm_) < 0) fail();
    }
    hwPaused_ = false;
    writeIndex_ = writeOffset_ = 0;
    // Positions go on from where the sound stopped; the dropped frames never count as played.
    written_ = played_;
    silentPlayed_ = static_cast<double>(played_);
    silentTick_ = Clock::now();
    base_ = played_;
    reportDone(lock, queue_.size());
}

int AlsaDevice::waitTimeoutMs() {
    if (paused_ || queue_.empty()) return -1;
    const bool unwritten = writeIndex_ < queue_.size();
    if (!broken_ && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED && written_ > played_ &&
        !unwritten) {
        // Fewer frames than the start threshold and nothing more coming for now: start anyway.
        const auto idle = Clock::now() - lastFeed_;
        if (idle < kStartGrace) {
            return static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(kStartGrace - idle).count());
        }
        if (snd_pcm_start(pcm_) < 0) fail();
    }
    if (unwritten && !broken_) return static_cast<int>(2 * kPeriodMicros / 1000);
    // Everything is with ALSA: wake when the oldest buffer should have been played.
    const uint64_t end = base_ + (queue_.empty() ? 0 : framesOf(queue_.front()));
    const uint64_t left = end > played_ ? end - played_ : 0;
    const uint64_t ms = left * 1000 / rate_ + 2;
    return static_cast<int>(std::min<uint64_t>(ms, 1000));
}

void AlsaDevice::run() {
    std::unique_lock lock(mutex_);
    lastFeed_ = silentTick_ = Clock::now();
    for (;;) {
        uint64_t ignored;
        while (::read(wakeFd_, &ignored, sizeof ignored) > 0) {
        }
        switch (pendingCommand()) {
            case Command::Pause:
                if (!paused_) pauseNow(lock);
                paused_ = true;
                acknowledge();
                continue;
            case Command::Restart:
                if (paused_) resumeNow(lock);
                paused_ = false;
                acknowledge();
                continue;
            case Command::Reset:
                resetNow(lock);
                acknowledge();
                continue;
            case Command::Close:
                if (!broken_) snd_pcm_drop(pcm_);
                acknowledge();
                return;
            case Command::None:
                break;
        }
        if (!paused_) {
            settle(lock);
            feed(lock);
        }
        const int timeout = waitTimeoutMs();
        const bool watchPcm = !paused_ && !broken_ && writeIndex_ < queue_.size();
        pollfd* fds = watchPcm ? fds_.data() : &fds_.back();
        const nfds_t count = watchPcm ? fds_.size() : 1;
        lock.unlock();
        const int ready = ::poll(fds, count, timeout);
        if (watchPcm && ready > 0) {
            // Lets plugins clear their wake-ups; the events themselves are not needed.
            unsigned short revents = 0;
            snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), count - 1, &revents);
        }
        lock.lock();
    }
}

}  // namespace

std::unique_ptr<WaveOutDevice> createAlsaDevice(const std::string& pcmName) {
    return std::make_unique<AlsaDevice>(pcmName);
}

}  // namespace kivo::device
