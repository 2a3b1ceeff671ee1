#include "output_stage.h"

#include <chrono>
#include <new>
#include <thread>

#include "decoder_stage.h"
#include "source_stage.h"

namespace kivo {

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool sameFormat(const OutputFormat& a, const OutputFormat& b) {
    return a.bitsPerSample == b.bitsPerSample && a.channels == b.channels &&
           a.sampleRate == b.sampleRate && a.blockBytes == b.blockBytes;
}

// A device that lets go of its buffers within this many close attempts, 100 ms apart.
constexpr int kCloseAttempts = 50;

// The longest the output thread sleeps between looks at the queue when nothing wakes it.
constexpr std::chrono::milliseconds kQueueLook{100};

}  // namespace

OutputStage::OutputStage(StageOwner* owner) : PipelineStage(owner) {
    thread_.start(&OutputStage::threadMain, this);
}

OutputStage::~OutputStage() {
    requestStop();
    wakeOutputThread();
    thread_.join();
    closeDevice();
    // The decoder goes first: it reads the source's ring and kicks the source.
    if (source_) source_->setConsumer(nullptr);
    if (decoder_) decoder_->pause();
    if (source_) source_->pause();
    decoder_.reset();
    source_.reset();
}

void OutputStage::setSource(std::unique_ptr<SourceStage> source) {
    source_ = std::move(source);
}

void OutputStage::setDecoder(std::unique_ptr<DecoderStage> decoder) {
    decoder_ = std::move(decoder);
}

StageResult OutputStage::openChain(const char* path) {
    try {
        return openChainLocked(path);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

StageResult OutputStage::openChainLocked(const char* path) {
    std::lock_guard lock(mutex_);
    if (!source_ || !decoder_) return kNotConnected;
    StageResult result = source_->setPath(path);
    if (result != kStageOk) return result;
    ByteRing* sourceRing = nullptr;
    result = source_->start(&sourceRing);
    if (result != kStageOk) return result;
    source_->setConsumer(decoder_.get());
    MarkerRing* pcm = nullptr;
    result = decoder_->open(sourceRing, &pcm);
    if (result != kStageOk) return result;
    pcmRing_ = pcm;
    inputRing_ = pcm;
    return kStageOk;
}

void OutputStage::setStartPercent(int32_t percent) {
    std::lock_guard lock(mutex_);
    if (decoder_) decoder_->setStartPercent(percent);
}

void OutputStage::pause() {
    PipelineStage::pause();
    wakeOutputThread();
    std::lock_guard lock(mutex_);
    if (deviceReady_) device_->pause();
}

void OutputStage::wakeOutputThread() {
    // Taking the lock orders the flag just set before the sleeper's last look at it.
    { std::lock_guard lock(completionLock_); }
    bufferPlayed_.notify_all();
}

void OutputStage::run() {
    {
        std::lock_guard lock(mutex_);
        if (deviceReady_) device_->restart();
    }
    PipelineStage::run();
}

StageResult OutputStage::resetOutput() {
    std::lock_guard lock(mutex_);
    if (deviceReady_) device_->reset();
    return kStageOk;
}

void OutputStage::bufferDone(device::DeviceBuffer* buffer) {
    std::lock_guard lock(completionLock_);
    if (buffer->user > 0) buffer->user = -buffer->user;
    bufferPlayed_.notify_all();
}

StageResult OutputStage::openDevice(const OutputFormat& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
    blockBytes_ = static_cast<uint32_t>(format.blockBytes);
    const uint32_t headerCount = pcmRing_->size() / blockBytes_ - 1;
    headers_.assign(headerCount, device::DeviceBuffer{});
    for (device::DeviceBuffer& header : headers_) header.bytes = blockBytes_;
    lastIssued_ = lastReleased_ = 0;
    device_ = device::createDefaultDevice();
    deviceOpen_ = true;
    device::WaveFormat wave;
    wave.channels = format.channels;
    wave.sampleRate = format.sampleRate;
    wave.bitsPerSample = format.bitsPerSample;
    deviceReady_ = device_ && device_->open(wave, [this](device::DeviceBuffer* buffer) {
        bufferDone(buffer);
    }) == device::DeviceResult::Ok;
    return deviceReady_ ? kStageOk : kOpenFailed;
}

void OutputStage::closeDevice() {
    std::unique_lock lock(mutex_);
    if (!deviceReady_) return;  // a device that never opened has nothing to reset or close
    deviceReady_ = false;
    device_->reset();
    auto unpreparePlayed = [this] {
        for (device::DeviceBuffer& header : headers_) {
            bool played;
            {
                std::lock_guard completion(completionLock_);
                played = header.user < 0;
                if (played) header.user = 0;
            }
            if (played) device_->unprepare(&header);
        }
    };
    unpreparePlayed();
    for (int attempt = 1; device_->close() == device::DeviceResult::StillPlaying; ++attempt) {
        if (attempt == kCloseAttempts) break;  // destroying the device below stops it for good
        lock.unlock();
        sleepMs(100);
        lock.lock();
        unpreparePlayed();
    }
    device_.reset();
    headers_.clear();
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
            StageMessagePtr marker = pcmRing_ ? pcmRing_->takeFirstMarker() : nullptr;
            if (!marker) {
                if (decoder_) decoder_->kick();
                sleepMs(1);
                continue;
            }
            if (marker->code() == kFormatMarker &&
                openDevice(static_cast<FormatMessage&>(*marker).format()) != kStageOk) {
                return;  // no sound device: nothing plays, nothing is reported
            }
            continue;
        }
        uint8_t* block = nullptr;
        const Next next = nextBlock(&block);
        if (next == Next::End) return;
        if (next == Next::Block && !queueBlock(block)) return;
    }
}

OutputStage::Next OutputStage::nextBlock(uint8_t** block) {
    for (;;) {
        uint8_t* span = nullptr;
        const StageResult result = pcmRing_->reserveRead(blockBytes_ + queuedBytes_, &span);
        switch (result) {
            case kStageOk:
                pcmRing_->commitRead(0);
                *block = pcmRing_->wrap(span + queuedBytes_);
                return Next::Block;
            case kNotEnoughData:
                decoder_->kick();
                if (!releasePlayed()) return Next::End;
                sleepMs(1);
                break;
            case kMarkerDue: {
                const Next next = takeMarker();
                if (next != Next::Again) return next;
                break;
            }
            case kClosed:
            case kEndOfStream:
                return Next::End;
            default:
                fail();
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
    if (marker->code() == kFormatMarker) {
        const OutputFormat& format = static_cast<FormatMessage&>(*marker).format();
        if (deviceReady_ && sameFormat(format, format_)) return Next::Again;
        // A new format: play out what is queued, then reopen the device for it.
        if (!drain() || !releasePlayed()) return Next::End;
        closeDevice();
        if (openDevice(format) != kStageOk) return Next::End;
    }
    return Next::Again;
}

bool OutputStage::queueBlock(uint8_t* block) {
    // A pause between taking the block and queueing it leaves it for the next round.
    if (paused() || stopRequested()) return true;
    device::DeviceBuffer* header = takeFreeHeader();
    if (!header) return false;
    header->data = block;
    header->bytes = blockBytes_;
    if (device_->prepare(header) != device::DeviceResult::Ok ||
        device_->write(header) != device::DeviceResult::Ok) {
        // A buffer the device refused would never be reported done, and the end of the song
        // never reached: report the failure so that the player moves on.
        device_->unprepare(header);
        {
            std::lock_guard lock(completionLock_);
            header->user = 0;
        }
        --lastIssued_;
        fail();
        return false;
    }
    queuedBytes_ += blockBytes_;
    decoder_->kick();
    return true;
}

device::DeviceBuffer* OutputStage::takeFreeHeader() {
    while (!stopRequested()) {
        if (!releasePlayed()) return nullptr;
        std::unique_lock lock(completionLock_);
        for (device::DeviceBuffer& header : headers_) {
            if (header.user == 0) {
                header.user = ++lastIssued_;
                return &header;
            }
        }
        // Every buffer is queued: sleep until the oldest one has been played.
        const intptr_t oldest = -static_cast<intptr_t>(lastReleased_ + 1);
        bufferPlayed_.wait_for(lock, kQueueLook, [&] {
            if (stopRequested()) return true;
            for (const device::DeviceBuffer& header : headers_) {
                if (header.user == oldest) return true;
            }
            return false;
        });
    }
    return nullptr;
}

// Releases from the ring every buffer the device has played, oldest first, and stops at the
// first one still playing, so that the ring's read position follows the queue order.
bool OutputStage::releasePlayed() {
    for (;;) {
        device::DeviceBuffer* played = nullptr;
        {
            std::lock_guard lock(completionLock_);
            const intptr_t wanted = -static_cast<intptr_t>(lastReleased_ + 1);
            for (device::DeviceBuffer& header : headers_) {
                if (header.user == wanted) {
                    played = &header;
                    break;
                }
            }
        }
        if (!played) return true;
        device_->unprepare(played);
        uint8_t* span = nullptr;
        // Played bytes leave the ring whatever marker follows them.
        if (pcmRing_->ByteRing::reserveRead(blockBytes_, &span) != kStageOk) return false;
        pcmRing_->commitRead(blockBytes_);
        queuedBytes_ -= blockBytes_;
        {
            std::lock_guard lock(completionLock_);
            played->user = 0;
        }
        ++lastReleased_;
    }
}

// Waits until the device has played every queued buffer. A pause holds the wait (the device
// is paused too) and the drain goes on after the run; only a stop ends it without success.
bool OutputStage::drain() {
    for (;;) {
        if (stopRequested()) return false;
        if (paused()) {
            if (waitWhilePaused()) return false;
            continue;
        }
        std::unique_lock lock(completionLock_);
        const auto allPlayed = [&] {
            for (const device::DeviceBuffer& header : headers_) {
                if (header.user > 0) return false;
            }
            return true;
        };
        if (allPlayed()) return true;
        bufferPlayed_.wait_for(lock, kQueueLook,
                               [&] { return allPlayed() || stopRequested() || paused(); });
    }
}

}  // namespace kivo
