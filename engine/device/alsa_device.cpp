// ALSA playback. The device thread hands queued buffers to ALSA straight from the caller's
// memory, sleeps in poll() until ALSA wants more or a command arrives, and reports a buffer
// done only once ALSA's delay shows that its last frame has been played.
//
// Where the stream stands is kept by StreamPosition. When the queue runs dry, silence is
// written behind the last buffer: sound servers hold back a short tail until more follows, and
// the silence pushes it out. When the PCM cannot pause in place, pausing drops what ALSA holds
// and moves the write cursor back to the played position, so the resumed sound neither skips
// nor repeats. A device that fails while playing is lost: the rest of the queue plays silently
// against the clock.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "device/device_backends.h"
#include "device/stream_position.h"

namespace kivo::device {

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kBufferMicros = 500000;  // what ALSA holds at most
constexpr unsigned kPeriodMicros = 100000;
// How much room ALSA must have before the thread wakes to feed it: small, because sound
// servers grant room in small steps.
constexpr unsigned kFeedMicros = 25000;
// How long the queue may stay empty before a stream that has not started is started anyway,
// and before silence is written behind the last buffer.
constexpr auto kIdleGrace = std::chrono::milliseconds(20);

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
    AlsaDevice(std::string name, bool pauseInPlace)
        : name_(std::move(name)), pauseInPlace_(pauseInPlace) {}
    ~AlsaDevice() override { shutdown(); }

private:
    bool openBackend(const WaveFormat& format) override;
    void closeBackend() override;
    void run() override;
    void wakeThread() override;
    std::string openError() const override { return openError_; }

    bool configure(const WaveFormat& format);
    // Brings the played position up to date and reports the buffers that have been played.
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
    // Writes silence behind the last buffer once the queue has stayed empty for a moment.
    void pad();
    int waitTimeoutMs();

    std::string name_;
    std::string openError_;
    bool pauseInPlace_;
    snd_pcm_t* pcm_ = nullptr;
    int wakeFd_ = -1;
    std::vector<pollfd> fds_;  // ALSA's descriptors, then the wake descriptor
    bool canPause_ = false;
    uint32_t frameBytes_ = 1;
    unsigned rate_ = 44100;
    uint64_t bufferFrames_ = 0;

    // Owned by the device thread.
    StreamPosition position_;  // silent once ALSA failed
    bool hwPaused_ = false;
    uint64_t padded_ = 0;  // frames of silence behind the last buffer handed over
    Clock::time_point lastFeed_;
};

bool AlsaDevice::openBackend(const WaveFormat& format) {
    openError_.clear();
    if (alsaFormat(format.bitsPerSample) == SND_PCM_FORMAT_UNKNOWN) {
        openError_ = "unsupported sample format";
        return false;
    }
    if (const int error =
            snd_pcm_open(&pcm_, name_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        error < 0) {
        openError_ = snd_strerror(error);
        pcm_ = nullptr;
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0 || !configure(format)) {
        openError_ = "the device does not take this sound format";
        closeBackend();
        return false;
    }
    frameBytes_ = static_cast<uint32_t>(format.blockAlign());
    rate_ = static_cast<unsigned>(format.sampleRate);
    position_.start(rate_, frameBytes_);
    hwPaused_ = false;
    padded_ = 0;
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
    canPause_ = pauseInPlace_ && snd_pcm_hw_params_can_pause(hw) == 1;
    snd_pcm_uframes_t bufferFrames = 0, periodFrames = 0;
    snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames);
    snd_pcm_hw_params_get_period_size(hw, &periodFrames, &dir);
    bufferFrames_ = bufferFrames;

    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm_, sw) < 0 ||
        snd_pcm_sw_params_set_avail_min(
            pcm_, sw,
            std::max<snd_pcm_uframes_t>(
                1, static_cast<uint64_t>(format.sampleRate) * kFeedMicros / 1000000)) < 0 ||
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
    if (position_.silent()) return;
    position_.goSilent();
    markLost();
    snd_pcm_drop(pcm_);
}

void AlsaDevice::recover(int error) {
    // An underrun or a suspend: what ALSA held has been played (or is lost for good). A PCM
    // that cannot be recovered has gone: what it held is played on against the clock.
    if (snd_pcm_recover(pcm_, error, 1) < 0) {
        fail();
        return;
    }
    position_.heardAll();
}

void AlsaDevice::settle(std::unique_lock<std::mutex>& lock) {
    if (position_.silent()) {
        position_.runSilently();
    } else {
        const snd_pcm_state_t state = snd_pcm_state(pcm_);
        snd_pcm_sframes_t delay = 0;
        if (state == SND_PCM_STATE_XRUN || state == SND_PCM_STATE_SUSPENDED) {
            recover(state == SND_PCM_STATE_XRUN ? -EPIPE : -ESTRPIPE);
        } else if (state == SND_PCM_STATE_DISCONNECTED) {
            fail();
        } else if (state == SND_PCM_STATE_RUNNING && snd_pcm_delay(pcm_, &delay) == 0) {
            // Before the start nothing plays, whatever a plugin's delay may say.
            position_.pendingAre(static_cast<uint64_t>(std::max<snd_pcm_sframes_t>(delay, 0)));
        }
    }
    if (const size_t count = position_.takeHeard(); count > 0) reportDone(lock, count);
}

void AlsaDevice::feed(std::unique_lock<std::mutex>& lock) {
    while (position_.writeIndex() < queue_.size()) {
        const DeviceBuffer* buffer = queue_[position_.writeIndex()];
        const uint64_t frames = position_.framesLeft(buffer);
        snd_pcm_sframes_t n = static_cast<snd_pcm_sframes_t>(frames);
        if (!position_.silent() && frames > 0) {
            // Only this thread removes buffers, so the bytes stay valid without the lock.
            lock.unlock();
            n = snd_pcm_writei(pcm_, buffer->data + position_.writeOffset(), frames);
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
        position_.handedOver(buffer, static_cast<uint64_t>(n));
        if (n == 0) continue;
        lastFeed_ = Clock::now();
        padded_ = 0;
    }
}

void AlsaDevice::pad() {
    if (padded_ >= bufferFrames_ || position_.silent() ||
        snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING || Clock::now() - lastFeed_ < kIdleGrace) {
        return;
    }
    const snd_pcm_sframes_t room = snd_pcm_avail_update(pcm_);
    if (room <= 0) return;
    const uint64_t frames =
        std::min<uint64_t>(static_cast<uint64_t>(room), bufferFrames_ - padded_);
    // Silence counts as written, so the buffers that follow start behind it.
    const std::vector<uint8_t> silence(frames * frameBytes_, 0);
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, silence.data(), frames);
    if (n > 0) {
        position_.padded(static_cast<uint64_t>(n));
        padded_ += static_cast<uint64_t>(n);
    }
}

void AlsaDevice::rewind(std::unique_lock<std::mutex>& lock) {
    settle(lock);
    if (!position_.silent()) {
        snd_pcm_drop(pcm_);
        if (snd_pcm_prepare(pcm_) < 0) fail();
    }
    position_.rewindToHeard(queue_.empty() ? nullptr : queue_.front());
    padded_ = 0;
}

void AlsaDevice::pauseNow(std::unique_lock<std::mutex>& lock) {
    if (!position_.silent() && canPause_ && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING &&
        snd_pcm_pause(pcm_, 1) == 0) {
        hwPaused_ = true;
        return;
    }
    rewind(lock);
}

void AlsaDevice::resumeNow(std::unique_lock<std::mutex>& lock) {
    position_.restartClock();
    if (!hwPaused_) return;  // rewound: feeding starts over from the played position
    hwPaused_ = false;
    if (position_.silent() || snd_pcm_pause(pcm_, 0) < 0) rewind(lock);
}

void AlsaDevice::resetNow(std::unique_lock<std::mutex>& lock) {
    if (!position_.silent()) {
        snd_pcm_drop(pcm_);
        if (snd_pcm_prepare(pcm_) < 0) fail();
    }
    hwPaused_ = false;
    padded_ = 0;
    // Positions go on from where the sound stopped; the dropped frames never count as played.
    position_.dropUnheard();
    reportDone(lock, queue_.size());
}

int AlsaDevice::waitTimeoutMs() {
    if (paused_ || queue_.empty()) return -1;
    const bool unwritten = position_.writeIndex() < queue_.size();
    const bool broken = position_.silent();
    if (!broken && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED &&
        position_.written() > position_.played() && !unwritten) {
        // Fewer frames than the start threshold and nothing more coming for now: start anyway.
        const auto idle = Clock::now() - lastFeed_;
        if (idle < kIdleGrace) {
            return static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(kIdleGrace - idle).count());
        }
        if (snd_pcm_start(pcm_) < 0) fail();
    }
    if (unwritten && !broken) return static_cast<int>(2 * kPeriodMicros / 1000);
    // Everything is with ALSA: wake when the oldest buffer should have been played, and in
    // time to pad the stream with silence.
    uint64_t ms = position_.millisToOldestEnd() + 2;
    if (padded_ < bufferFrames_ && !broken)
        ms = std::min<uint64_t>(
            ms, std::chrono::ceil<std::chrono::milliseconds>(kIdleGrace).count() + 1);
    return static_cast<int>(std::min<uint64_t>(ms, 1000));
}

void AlsaDevice::run() {
    std::unique_lock lock(mutex_);
    lastFeed_ = Clock::now();
    position_.restartClock();
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
                if (!position_.silent()) snd_pcm_drop(pcm_);
                acknowledge();
                return;
            case Command::None:
                break;
        }
        if (!paused_) {
            settle(lock);
            feed(lock);
            if (position_.writeIndex() == queue_.size() && !queue_.empty()) pad();
        }
        const int timeout = waitTimeoutMs();
        const bool watchPcm =
            !paused_ && !position_.silent() && position_.writeIndex() < queue_.size();
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

// ALSA prints its errors on stderr by default; the player's failures are silent.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<WaveOutDevice> createAlsaDevice(const std::string& pcmName, bool pauseInPlace) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(&quietErrors); });
    return std::make_unique<AlsaDevice>(pcmName, pauseInPlace);
}

}  // namespace kivo::device
