#include "output_stage.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "notify_messages.h"

namespace kivo {

namespace {

bool sameFormat(const OutputFormat& a, const OutputFormat& b) {
    return a.bitsPerSample == b.bitsPerSample && a.channels == b.channels &&
           a.sampleRate == b.sampleRate && a.blockBytes == b.blockBytes;
}

// A device that lets go of its buffers within this many close attempts, 100 ms apart.
constexpr int kCloseAttempts = 50;

// The longest the output thread sleeps between looks at the ring and the queue when nothing
// wakes it.
constexpr std::chrono::milliseconds kQueueLook{100};

}  // namespace

OutputStage::OutputStage(StageOwner* owner, WindowHandle notifyWindow)
    : PipelineStage(owner), notifyWindow_(notifyWindow) {
    thread_.start(&OutputStage::threadMain, this);
}

OutputStage::~OutputStage() {
    requestStop();
    signalEvent();
    thread_.join();
    closeDevice();
}

void OutputStage::setInput(MarkerRing* pcm, PipelineStage* producer) {
    std::lock_guard lock(mutex_);
    pcmRing_ = pcm;
    producer_ = producer;
    inputRing_ = pcm;
}

void OutputStage::pause() {
    PipelineStage::pause();  // kicks, which wakes the output thread
    std::lock_guard lock(mutex_);
    if (deviceReady_) device_->pause();
}

void OutputStage::run() {
    {
        std::lock_guard lock(mutex_);
        if (deviceReady_) device_->restart();
    }
    PipelineStage::run();
}

void OutputStage::kick() {
    signalEvent();
}

StageResult OutputStage::resetOutput() {
    std::lock_guard lock(mutex_);
    if (deviceReady_) device_->reset();
    return kStageOk;
}

uint64_t OutputStage::eventCount() {
    std::lock_guard lock(completionLock_);
    return events_;
}

void OutputStage::signalEvent() {
    // Counting under the lock orders the event (and a flag set before it) before the
    // sleeper's last look.
    {
        std::lock_guard lock(completionLock_);
        ++events_;
    }
    eventSignal_.notify_all();
}

void OutputStage::waitForEvent(uint64_t seen) {
    std::unique_lock lock(completionLock_);
    eventSignal_.wait_for(lock, kQueueLook,
                          [&] { return events_ != seen || stopRequested() || paused(); });
}

void OutputStage::bufferDone(device::DeviceBuffer* header) {
    {
        std::lock_guard lock(completionLock_);
        Buffer& buffer = buffers_[static_cast<size_t>(header->user)];
        if (buffer.state == BufferState::Queued) buffer.state = BufferState::Played;
        ++events_;
    }
    eventSignal_.notify_all();
}

StageResult OutputStage::openDevice(const OutputFormat& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
    blockBytes_ = static_cast<uint32_t>(format.blockBytes);
    const uint32_t bufferCount = pcmRing_->size() / blockBytes_ - 1;
    buffers_.assign(bufferCount, Buffer{});
    for (size_t i = 0; i < buffers_.size(); ++i) {
        buffers_[i].header.bytes = blockBytes_;
        buffers_[i].header.user = static_cast<intptr_t>(i);
    }
    lastIssued_ = lastReleased_ = 0;
    device_ = device::createDefaultDevice();
    deviceOpen_ = true;
    device::WaveFormat wave;
    wave.channels = format.channels;
    wave.sampleRate = format.sampleRate;
    wave.bitsPerSample = format.bitsPerSample;
    deviceReady_ = device_ && device_->open(wave, [this](device::DeviceBuffer* header) {
        bufferDone(header);
    }) == device::DeviceResult::Ok;
    return deviceReady_ ? kStageOk : kOpenFailed;
}

void OutputStage::closeDevice() {
    std::unique_lock lock(mutex_);
    if (!deviceReady_) return;  // a device that never opened has nothing to reset or close
    deviceReady_ = false;
    device_->reset();
    auto unpreparePlayed = [this] {
        for (Buffer& buffer : buffers_) {
            bool played;
            {
                std::lock_guard completion(completionLock_);
                played = buffer.state == BufferState::Played;
                if (played) buffer.state = BufferState::Free;
            }
            if (played) device_->unprepare(&buffer.header);
        }
    };
    unpreparePlayed();
    for (int attempt = 1; device_->close() == device::DeviceResult::StillPlaying; ++attempt) {
        if (attempt == kCloseAttempts) break;  // destroying the device below stops it for good
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lock.lock();
        unpreparePlayed();
    }
    device_.reset();
    buffers_.clear();
}

bool OutputStage::deviceLost() {
    if (!deviceReady_ || !device_->lost()) return false;
    if (!lostSaid_) fail(kDeviceLost);
    lostSaid_ = true;
    return true;
}

void OutputStage::threadMain(void* stage) {
    static_cast<OutputStage*>(stage)->play();
}

void OutputStage::play() {
    runSemaphore_.wait();
    while (!stopRequested()) {
        if (paused()) {
            waitWhilePaused();
            continue;
        }
        if (!deviceOpen_) {
            if (!waitForFormat()) {
                fail(kDeviceRefused);  // no sound device: the song cannot play, and is said so
                return;
            }
            continue;
        }
        if (deviceLost()) return;
        uint8_t* block = nullptr;
        uint32_t bytes = 0;
        const Next next = nextBlock(&block, &bytes);
        if (next == Next::End) return;
        if (next == Next::Block && !queueBlock(block, bytes)) return;
    }
}

// Before the first block: waits for the first marker and opens the device for the format it
// announces. False when the device cannot be opened.
bool OutputStage::waitForFormat() {
    const uint64_t seen = eventCount();
    StageMessagePtr marker = pcmRing_ ? pcmRing_->takeFirstMarker() : nullptr;
    if (!marker) {
        if (producer_) producer_->kick();
        waitForEvent(seen);
        return true;
    }
    if (marker->code() == kPositionMarker) {
        setPosition(static_cast<PositionMessage&>(*marker).position());
    }
    if (marker->code() != kFormatMarker) return true;
    return openDevice(static_cast<FormatMessage&>(*marker).format()) == kStageOk;
}

OutputStage::Next OutputStage::nextBlock(uint8_t** block, uint32_t* bytes) {
    for (;;) {
        if (deviceLost()) return Next::End;
        const uint64_t seen = eventCount();
        uint8_t* span = nullptr;
        uint32_t wanted = blockBytes_;
        const uint32_t beforeMarker = pcmRing_->bytesBeforeMarker();
        if (beforeMarker > queuedBytes_ && beforeMarker - queuedBytes_ < blockBytes_) {
            wanted = beforeMarker - queuedBytes_;
        }
        const StageResult result = pcmRing_->reserveRead(wanted + queuedBytes_, &span);
        switch (result) {
            case kStageOk:
                pcmRing_->commitRead(0);
                *block = pcmRing_->wrap(span + queuedBytes_);
                *bytes = wanted;
                return Next::Block;
            case kNotEnoughData:
                producer_->kick();
                if (!releasePlayed()) return Next::End;
                waitForEvent(seen);
                break;
            case kMarkerDue: {
                // PCM before the marker is played first (the marker came after the look).
                if (pcmRing_->bytesBeforeMarker() > queuedBytes_ && wanted == blockBytes_) break;
                const Next next = takeMarker();
                if (next != Next::Again) return next;
                break;
            }
            case kClosed:
            case kEndOfStream:
                return Next::End;
            default:
                fail(result);
                return Next::End;
        }
        if (paused() || stopRequested()) return Next::Again;
    }
}

OutputStage::Next OutputStage::takeMarker() {
    StageMessagePtr marker = pcmRing_->takeFirstMarker();
    if (!marker) return Next::Again;
    if (marker->code() == kEndOfStreamMarker) {
        if (drain()) post(std::make_unique<StageMessage>(kPlaybackFinished));
        return Next::End;
    }
    if (marker->code() == kPositionMarker) {
        setPosition(static_cast<PositionMessage&>(*marker).position());
        return Next::Again;
    }
    if (marker->code() == kFormatMarker) {
        const OutputFormat& format = static_cast<FormatMessage&>(*marker).format();
        if (deviceReady_ && sameFormat(format, format_)) return Next::Again;
        // A new format: play out what is queued, then reopen the device for it.
        if (!drain() || !releasePlayed()) return Next::End;
        closeDevice();
        if (openDevice(format) != kStageOk) {
            fail(kDeviceRefused);
            return Next::End;
        }
    }
    return Next::Again;
}

bool OutputStage::queueBlock(uint8_t* block, uint32_t bytes) {
    // A pause between taking the block and queueing it leaves it for the next round.
    if (paused() || stopRequested()) return true;
    Buffer* buffer = takeFreeBuffer();
    if (!buffer) return false;
    device::DeviceBuffer* header = &buffer->header;
    header->data = block;
    header->bytes = bytes;
    if (device_->prepare(header) != device::DeviceResult::Ok ||
        device_->write(header) != device::DeviceResult::Ok) {
        // A buffer the device refused would never be reported done, and the end of the song
        // never reached: report the failure so that the player moves on.
        device_->unprepare(header);
        {
            std::lock_guard lock(completionLock_);
            buffer->state = BufferState::Free;
        }
        --lastIssued_;
        fail(kDeviceRefused);
        return false;
    }
    queuedBytes_ += bytes;
    queuedFrames_.push_back(nextFrame_++);
    producer_->kick();
    return true;
}

// The buffer that is next to leave the ring, once the device has played it; with
// completionLock_ held.
OutputStage::Buffer* OutputStage::nextPlayed() {
    for (Buffer& buffer : buffers_) {
        if (buffer.state == BufferState::Played && buffer.serial == lastReleased_ + 1) {
            return &buffer;
        }
    }
    return nullptr;
}

OutputStage::Buffer* OutputStage::takeFreeBuffer() {
    while (!stopRequested()) {
        if (!releasePlayed() || deviceLost()) return nullptr;
        std::unique_lock lock(completionLock_);
        for (Buffer& buffer : buffers_) {
            if (buffer.state == BufferState::Free) {
                buffer.state = BufferState::Queued;
                buffer.serial = ++lastIssued_;
                return &buffer;
            }
        }
        // Every buffer is queued: sleep until the oldest one has been played.
        eventSignal_.wait_for(lock, kQueueLook,
                              [&] { return stopRequested() || nextPlayed() != nullptr; });
    }
    return nullptr;
}

// Releases from the ring every buffer the device has played, oldest first, and stops at the
// first one still playing, so that the ring's read position follows the queue order. The
// producer is kicked when room was made.
bool OutputStage::releasePlayed() {
    bool released = false;
    for (;;) {
        Buffer* played = nullptr;
        {
            std::lock_guard lock(completionLock_);
            played = nextPlayed();
        }
        if (!played) break;
        device_->unprepare(&played->header);
        uint8_t* span = nullptr;
        // Played bytes leave the ring whatever marker follows them.
        const uint32_t bytes = played->header.bytes;
        if (pcmRing_->ByteRing::reserveRead(bytes, &span) != kStageOk) return false;
        pcmRing_->commitRead(bytes);
        queuedBytes_ -= bytes;
        {
            std::lock_guard lock(completionLock_);
            played->state = BufferState::Free;
        }
        ++lastReleased_;
        released = true;
        if (!queuedFrames_.empty()) {
            postProgress(queuedFrames_.front() + 1);
            queuedFrames_.pop_front();
        }
    }
    if (released) producer_->kick();
    return true;
}

void OutputStage::setPosition(const SongPosition& position) {
    nextFrame_ = position.frame;
    totalFrames_ = position.totalFrames;
    if (!position.reckonedAgain) postProgress(position.frame);
}

void OutputStage::postProgress(int32_t framesHeard) {
    if (notifyWindow_ == 0) return;
    // 100 is the player's, once the song has ended.
    const double percent = totalFrames_ > 0 ? framesHeard * 100.0 / totalFrames_ : 0.0;
    const int32_t whole = static_cast<int32_t>(std::clamp(percent, 0.0, 99.0));
    // A length learnt late may put the position back a little: the bar waits for the sound
    // instead of going back.
    if (whole <= lastPercent_) return;
    if (postToWindow(notifyWindow_, WM_PLAYPROGRESS, static_cast<uintptr_t>(whole))) {
        lastPercent_ = whole;
    }
}

// Waits until the device has played every queued buffer, releasing each as it comes back so
// that the progress follows the sound to its end. A pause holds the wait (the device is paused
// too) and the drain goes on after the run; only a stop ends it without success.
bool OutputStage::drain() {
    for (;;) {
        if (stopRequested() || !releasePlayed() || deviceLost()) return false;
        if (paused()) {
            if (waitWhilePaused()) return false;
            continue;
        }
        std::unique_lock lock(completionLock_);
        const auto allPlayed = [&] {
            for (const Buffer& buffer : buffers_) {
                if (buffer.state == BufferState::Queued) return false;
            }
            return true;
        };
        if (allPlayed()) {
            lock.unlock();
            return releasePlayed();
        }
        // Woken by every buffer played, to release it.
        eventSignal_.wait_for(lock, kQueueLook, [&] {
            return nextPlayed() != nullptr || allPlayed() || stopRequested() || paused();
        });
    }
}

}  // namespace kivo
