// PulseAudio playback (PipeWire desktops serve it through pipewire-pulse). The device thread
// runs a main loop of its own: it copies queued buffers into the stream as the server makes
// room, corks the stream to pause in place, flushes it on reset, and reports a buffer done only
// once the stream's clock shows that its last frame has been played.
//
// Where the stream stands is kept by StreamPosition, in frames of the server's write index. A
// stream shorter than the server's prebuffer is started by hand once nothing more follows.
// When the server goes away mid-song the device is lost, and the rest of the queue plays
// silently against the clock, as on ALSA.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>

#include "device/device_backends.h"
#include "device/queued_device.h"
#include "device/stream_position.h"

namespace kivo::device {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kTargetMillis = 500;   // what the stream holds at most
constexpr uint64_t kRequestMillis = 100;  // the server asks for data in steps of this
constexpr uint64_t kPrebufMillis = 50;    // played once this much has arrived
// How long the queue may stay empty before a stream below its prebuffer is started anyway.
constexpr auto kIdleGrace = std::chrono::milliseconds(20);
// How often at most the stream's clock is asked for when it seems to stand still.
constexpr auto kRefreshInterval = std::chrono::milliseconds(10);
// How long opening waits for the server to answer, and a command for the server to carry it
// out; a server that stays silent longer counts as gone.
constexpr auto kAnswerTimeout = std::chrono::seconds(2);

pa_sample_format_t pulseFormat(int bits) {
    switch (bits) {
        case 16:
            return PA_SAMPLE_S16LE;
        case 24:
            return PA_SAMPLE_S24LE;
        case 32:
            return PA_SAMPLE_S32LE;
        default:
            return PA_SAMPLE_INVALID;  // 8-bit PCM is unsigned here, ours is signed
    }
}

// A main loop and a context connected to the default server, or nothing when none answers.
struct Connection {
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;

    bool connect() {
        loop = pa_mainloop_new();
        if (!loop) return false;
        context = pa_context_new(pa_mainloop_get_api(loop), "Kivo");
        if (!context || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return false;
        }
        return waitFor([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; },
                       [this] { return good(); });
    }
    // Runs the loop until `done` holds; false once `alive` fails or the server has not
    // answered in time.
    template <typename Done, typename Alive>
    bool waitFor(Done done, Alive alive) {
        const auto deadline = Clock::now() + kAnswerTimeout;
        for (;;) {
            if (done()) return true;
            if (!alive() || Clock::now() >= deadline) return false;
            iterate(10);
        }
    }
    // Waits up to `millis` (-1: for ever) for an event and handles it.
    void iterate(int millis) {
        if (prepare(millis)) pollAndDispatch();
    }
    // The two halves of iterate. Preparing takes back earlier wake-ups, so the device thread
    // prepares while it still holds the lock under which wake-ups are sent.
    bool prepare(int millis) {
        return pa_mainloop_prepare(loop, millis < 0 ? -1 : millis * 1000) >= 0;
    }
    void pollAndDispatch() {
        if (pa_mainloop_poll(loop) >= 0) pa_mainloop_dispatch(loop);
    }
    bool good() const { return PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); }
    void disconnect() {
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop) pa_mainloop_free(loop);
        context = nullptr;
        loop = nullptr;
    }
};

class PulseDevice : public QueuedDevice {
public:
    ~PulseDevice() override { shutdown(); }

    std::string openError() const override { return openError_; }

private:
    bool openBackend(const WaveFormat& format) override;
    // Closes what was opened and keeps the server's reason (or `why` when it gives none).
    bool refuseOpen(const char* why);
    void closeBackend() override;
    void run() override;
    void wakeThread() override;

    bool streamGood() const {
        return server_.good() && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
    }
    // Runs the main loop until `op` has finished; false when the server went away.
    bool finish(pa_operation* op);
    void settle(std::unique_lock<std::mutex>& lock);
    void feed();
    void startIfStalled();
    void pauseNow();
    void resumeNow();
    void resetNow(std::unique_lock<std::mutex>& lock);
    // Asks the server for the stream's clock unless a request is under way.
    void refreshClock();
    void fail();
    int waitTimeoutMs() const;

    Connection server_;
    std::string openError_;
    pa_stream* stream_ = nullptr;
    uint32_t frameBytes_ = 1;
    unsigned rate_ = 44100;

    // Owned by the device thread.
    StreamPosition position_;      // silent once the server has gone
    bool waitingForRoom_ = false;  // under mutex_: asleep until the server asks for data
    bool triggered_ = false;       // started by hand since the last write
    uint64_t lastPending_ = 0;     // frames the stream held at the last look
    pa_operation* clockUpdate_ = nullptr;
    Clock::time_point lastRefresh_;
    Clock::time_point lastFeed_;
};

uint32_t bytesFor(uint64_t millis, const WaveFormat& format) {
    return static_cast<uint32_t>(millis * static_cast<uint64_t>(format.sampleRate) / 1000 *
                                 static_cast<uint64_t>(format.blockAlign()));
}

bool PulseDevice::openBackend(const WaveFormat& format) {
    const pa_sample_spec spec{pulseFormat(format.bitsPerSample),
                              static_cast<uint32_t>(format.sampleRate),
                              static_cast<uint8_t>(format.channels)};
    openError_.clear();
    if (!pa_sample_spec_valid(&spec)) return refuseOpen("unsupported sample format");
    if (!server_.connect()) return refuseOpen("the sound server does not answer");
    stream_ = pa_stream_new(server_.context, "Kivo", &spec, nullptr);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = bytesFor(kTargetMillis, format);
    attr.prebuf = bytesFor(kPrebufMillis, format);
    attr.minreq = bytesFor(kRequestMillis, format);
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (!stream_ ||
        pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0 ||
        !server_.waitFor([this] { return pa_stream_get_state(stream_) == PA_STREAM_READY; },
                         [this] { return streamGood(); })) {
        return refuseOpen("the sound server does not answer");
    }
    frameBytes_ = static_cast<uint32_t>(format.blockAlign());
    rate_ = static_cast<unsigned>(format.sampleRate);
    position_.start(rate_, frameBytes_);
    triggered_ = false;
    return true;
}

bool PulseDevice::refuseOpen(const char* why) {
    const int error = server_.context ? pa_context_errno(server_.context) : PA_OK;
    openError_ = error != PA_OK ? pa_strerror(error) : why;
    closeBackend();
    return false;
}

void PulseDevice::closeBackend() {
    if (clockUpdate_) pa_operation_unref(clockUpdate_);
    clockUpdate_ = nullptr;
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    stream_ = nullptr;
    server_.disconnect();
}

void PulseDevice::wakeThread() {
    // A buffer queued behind others that wait for room is written when the server asks for
    // more anyway: only commands need to wake a thread that waits for room.
    if (waitingForRoom_ && pendingCommand() == Command::None) return;
    if (server_.loop) pa_mainloop_wakeup(server_.loop);
}

bool PulseDevice::finish(pa_operation* op) {
    if (!op) return false;
    server_.waitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                    [this] { return streamGood(); });
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

void PulseDevice::refreshClock() {
    const auto now = Clock::now();
    if (now - lastRefresh_ < kRefreshInterval) return;
    lastRefresh_ = now;
    if (clockUpdate_) {
        if (pa_operation_get_state(clockUpdate_) == PA_OPERATION_RUNNING) return;
        pa_operation_unref(clockUpdate_);
    }
    clockUpdate_ = pa_stream_update_timing_info(stream_, nullptr, nullptr);
}

void PulseDevice::fail() {
    if (position_.silent()) return;
    position_.goSilent();
    markLost();
}

void PulseDevice::settle(std::unique_lock<std::mutex>& lock) {
    if (!position_.silent() && !streamGood()) fail();
    if (position_.silent()) {
        position_.runSilently();
    } else {
        // Not yet heard: what the stream holds beyond the server's read position, and what
        // the sink has mixed. Both run down from the server's last report while the stream
        // plays; a stream that waits to start holds on to its part, one that ran dry only has
        // the sink's part left. Before the first report nothing counts as heard.
        const pa_timing_info* t = pa_stream_get_timing_info(stream_);
        const uint64_t written = position_.written();
        uint64_t pending = written - position_.played();
        if (t) {
            const uint64_t read =
                static_cast<uint64_t>(std::max<int64_t>(t->read_index, 0)) / frameBytes_;
            const uint64_t ahead = written > read ? written - read : 0;
            uint64_t usec = ahead * 1000000 / rate_ + t->sink_usec;
            if (t->playing || ahead == 0)
                usec -= std::min<uint64_t>(usec, pa_timeval_age(&t->timestamp));
            pending = std::min(pending, usec * rate_ / 1000000);
        }
        // A clock that stands still while sound is owed is asked for again.
        if (pending > 0 && pending == lastPending_) refreshClock();
        lastPending_ = pending;
        position_.pendingAre(pending);
    }
    if (const size_t count = position_.takeHeard(); count > 0) reportDone(lock, count);
}

void PulseDevice::feed() {
    while (position_.writeIndex() < queue_.size()) {
        const DeviceBuffer* buffer = queue_[position_.writeIndex()];
        const uint64_t left = position_.framesLeft(buffer);
        uint64_t frames = left;
        if (!position_.silent()) {
            const size_t room = pa_stream_writable_size(stream_);
            if (room == static_cast<size_t>(-1)) {
                fail();
                continue;
            }
            frames = std::min<uint64_t>(left, room / frameBytes_);
            // The stream copies the bytes; only this thread removes buffers, so they stay valid.
            if (frames > 0 &&
                pa_stream_write(stream_, buffer->data + position_.writeOffset(),
                                frames * frameBytes_, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                fail();
                continue;
            }
        }
        position_.handedOver(buffer, frames);
        if (frames > 0) {
            lastFeed_ = Clock::now();
            triggered_ = false;
        }
        if (frames < left) return;  // the server has no more room for now
    }
}

void PulseDevice::startIfStalled() {
    // Everything is with the server, perhaps less than its prebuffer: start it anyway once
    // nothing more has come for a moment. Harmless on a stream that already plays.
    if (position_.silent() || triggered_ || position_.written() <= position_.played() ||
        position_.writeIndex() < queue_.size() || Clock::now() - lastFeed_ < kIdleGrace) {
        return;
    }
    triggered_ = true;
    if (!finish(pa_stream_trigger(stream_, nullptr, nullptr))) fail();
}

void PulseDevice::pauseNow() {
    if (!position_.silent() && !finish(pa_stream_cork(stream_, 1, nullptr, nullptr))) fail();
}

void PulseDevice::resumeNow() {
    position_.restartClock();
    if (!position_.silent() && !finish(pa_stream_cork(stream_, 0, nullptr, nullptr))) fail();
    triggered_ = false;
}

void PulseDevice::resetNow(std::unique_lock<std::mutex>& lock) {
    settle(lock);
    const pa_timing_info* t = nullptr;
    if (!position_.silent()) {
        // What the stream held is dropped; new data goes on from the server's play position.
        if (!finish(pa_stream_flush(stream_, nullptr, nullptr)) ||
            !finish(pa_stream_update_timing_info(stream_, nullptr, nullptr))) {
            fail();
        } else {
            t = pa_stream_get_timing_info(stream_);
        }
    }
    if (t) {
        position_.restartAt(static_cast<uint64_t>(std::max<int64_t>(t->write_index, 0)) /
                            frameBytes_);
    } else {
        position_.dropUnheard();
    }
    triggered_ = false;
    reportDone(lock, queue_.size());
}

int PulseDevice::waitTimeoutMs() const {
    if (paused_ || queue_.empty()) return -1;
    const bool unwritten = position_.writeIndex() < queue_.size();
    const bool broken = position_.silent();
    // Waiting for room: the server says when it has some.
    if (unwritten && !broken) return -1;
    if (!triggered_ && !broken && position_.written() > position_.played()) {
        const auto idle = Clock::now() - lastFeed_;
        if (idle < kIdleGrace) {
            return static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(kIdleGrace - idle).count());
        }
    }
    // Wake when the oldest buffer should have been played.
    return static_cast<int>(std::clamp<uint64_t>(position_.millisToOldestEnd() + 2, 10, 1000));
}

void PulseDevice::run() {
    std::unique_lock lock(mutex_);
    lastFeed_ = Clock::now();
    position_.restartClock();
    for (;;) {
        switch (pendingCommand()) {
            case Command::Pause:
                if (!paused_) pauseNow();
                paused_ = true;
                acknowledge();
                continue;
            case Command::Restart:
                if (paused_) resumeNow();
                paused_ = false;
                acknowledge();
                continue;
            case Command::Reset:
                resetNow(lock);
                acknowledge();
                continue;
            case Command::Close:
                acknowledge();
                return;
            case Command::None:
                break;
        }
        if (!paused_) {
            settle(lock);
            feed();
            startIfStalled();
        }
        // Reporting buffers done lets go of the lock, and a command given meanwhile sent its
        // wake-up before preparing takes wake-ups back: it is carried out before any wait.
        if (pendingCommand() != Command::None) continue;
        const bool prepared = server_.prepare(waitTimeoutMs());
        waitingForRoom_ = !paused_ && !position_.silent() && position_.writeIndex() < queue_.size();
        lock.unlock();
        if (prepared) server_.pollAndDispatch();
        lock.lock();
        waitingForRoom_ = false;
    }
}

}  // namespace

std::unique_ptr<WaveOutDevice> createPulseDevice() {
    return std::make_unique<PulseDevice>();
}

bool soundServerAnswers() {
    Connection probe;
    const bool answers = probe.connect();
    probe.disconnect();
    return answers;
}

}  // namespace kivo::device
