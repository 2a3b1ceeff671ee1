// Where a sound-system stream stands against the queue it plays, for the device thread of the
// ALSA and PulseAudio backends. Positions are frames since the device was opened: `written`
// have been handed to the sound system, `played` of them have been heard, and each buffer
// handed over whole has the position of its end, so a buffer is done once `played` reaches it.
// When the sound system goes away the rest plays silently against the clock, so that the caller
// still sees its buffers come back at the pace of the sound.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "device/wave_out_device.h"

namespace kivo::device {

class StreamPosition {
public:
    using Clock = std::chrono::steady_clock;

    // A new stream: nothing written, nothing heard.
    void start(unsigned rate, uint32_t frameBytes);

    uint64_t written() const { return written_; }
    uint64_t played() const { return played_; }
    bool silent() const { return silent_; }
    // The queue index of the buffer being handed over, and the bytes of it handed over so far.
    size_t writeIndex() const { return writeIndex_; }
    uint32_t writeOffset() const { return writeOffset_; }
    uint64_t framesOf(const DeviceBuffer* buffer) const { return buffer->bytes / frameBytes_; }
    // Frames of the buffer at the write index not yet handed over.
    uint64_t framesLeft(const DeviceBuffer* buffer) const {
        return framesOf(buffer) - writeOffset_ / frameBytes_;
    }

    // `frames` more of `buffer`, the one at the write index, went to the sound system.
    void handedOver(const DeviceBuffer* buffer, uint64_t frames);
    // Frames that belong to no buffer (silence behind the last one) went to the sound system.
    void padded(uint64_t frames) { written_ += frames; }
    // The sound system still holds `pending` of the frames written; the rest has been heard.
    void pendingAre(uint64_t pending);
    void heardAll() { played_ = written_; }

    // The sound system has gone: from now on the clock plays what is written.
    void goSilent();
    // Brings `played` up to the clock while silent.
    void runSilently();
    // The clock stood still (a pause) and starts again now.
    void restartClock() { silentTick_ = Clock::now(); }

    // How many of the oldest buffers have been heard; they leave the bookkeeping, and the
    // caller reports them done.
    size_t takeHeard();
    // Nothing written and unheard counts any more: positions go on from the played one, and
    // the queue is handed over again from its start.
    void dropUnheard();
    // As dropUnheard, but the oldest buffer (`oldest`, null for an empty queue) is handed over
    // again from the first frame not yet heard.
    void rewindToHeard(const DeviceBuffer* oldest);
    // As dropUnheard, for a sound system whose write position after it dropped what it held
    // is `written`.
    void restartAt(uint64_t written);
    // Milliseconds until the oldest buffer should have been heard.
    uint64_t millisToOldestEnd() const;

private:
    unsigned rate_ = 44100;
    uint32_t frameBytes_ = 1;
    uint64_t written_ = 0;
    uint64_t played_ = 0;
    std::deque<uint64_t> ends_;  // end positions of the oldest buffers, those handed over whole
    size_t writeIndex_ = 0;      // = ends_.size()
    uint32_t writeOffset_ = 0;
    bool silent_ = false;
    double silentPlayed_ = 0;
    Clock::time_point silentTick_;
};

}  // namespace kivo::device
