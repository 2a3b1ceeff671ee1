// The last stage of a pipeline: plays the PCM ring on the sound device and carries pause and
// run to it. Device buffers point straight into the ring; a block leaves the ring only after
// the device has played it, strictly in the order the blocks were queued. As blocks come back
// played it tells the notify window the percentage heard, so that the shown progress never runs
// ahead of the sound.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "device/wave_out_device.h"
#include "marker_ring.h"
#include "notify_window.h"
#include "pipeline_stage.h"
#include "worker_thread.h"

namespace kivo {

class OutputStage : public PipelineStage {
public:
    // The thread starts at once and waits for the first run. Progress goes to `notifyWindow`
    // (0 for none).
    explicit OutputStage(StageOwner* owner, WindowHandle notifyWindow = 0);
    // Stops and joins the output thread, then resets and closes the device.
    ~OutputStage() override;

    // The ring to play and the stage that fills it (kicked whenever room is made); before the
    // first run.
    void setInput(MarkerRing* pcm, PipelineStage* producer);

    // Pausing stops the sound at once; run continues it from the same sample.
    void pause() override;
    void run() override;
    // Wakes the output thread: the producer has added PCM or a marker.
    void kick() override;
    StageResult resetOutput() override;

private:
    enum class Next { Block, Again, End };

    // Where one device buffer stands. A buffer is queued with the next serial number, and
    // released from the ring once played, in serial order.
    enum class BufferState { Free, Queued, Played };
    struct Buffer {
        device::DeviceBuffer header;  // `user` is the buffer's index
        BufferState state = BufferState::Free;
        uint32_t serial = 0;
    };

    static void threadMain(void* stage);
    void play();
    bool waitForFormat();
    StageResult openDevice(const OutputFormat& format);
    void closeDevice();
    // The next block to queue and its length: a whole block, or the short last one of a
    // trimmed song, which ends at a marker.
    Next nextBlock(uint8_t** block, uint32_t* bytes);
    Next takeMarker();
    bool queueBlock(uint8_t* block, uint32_t bytes);
    Buffer* takeFreeBuffer();
    Buffer* nextPlayed();
    bool releasePlayed();
    bool drain();
    // True once the open device has stopped working; the failure is reported then, so that
    // the song stops and is said instead of playing on into nothing.
    bool deviceLost();
    // Takes the position of the blocks queued from now on, and says it.
    void setPosition(const SongPosition& position);
    // Posts the percentage that `framesHeard` frames make when it differs from the last one.
    void postProgress(int32_t framesHeard);
    void bufferDone(device::DeviceBuffer* header);
    // Sleeps until an event has come since `seen` (a buffer played, a kick, a pause or a
    // stop), or the longest look interval has passed.
    void waitForEvent(uint64_t seen);
    uint64_t eventCount();
    void signalEvent();

    MarkerRing* pcmRing_ = nullptr;
    PipelineStage* producer_ = nullptr;
    WorkerThread thread_;

    // Written by the output thread under mutex_, so that pause and run see a whole device.
    std::unique_ptr<device::WaveOutDevice> device_;
    bool deviceOpen_ = false;   // an open was attempted
    bool deviceReady_ = false;  // and succeeded
    bool lostSaid_ = false;     // the device's loss has been reported
    OutputFormat format_;
    uint32_t blockBytes_ = 0;

    // Guards the buffers' states, which the device's completion changes, and the event count.
    std::mutex completionLock_;
    // Signalled with each event: the output thread sleeps on it while it waits for PCM, while
    // every buffer is queued and while it drains.
    std::condition_variable eventSignal_;
    uint64_t events_ = 0;
    std::vector<Buffer> buffers_;
    uint32_t lastIssued_ = 0;
    uint32_t lastReleased_ = 0;
    uint32_t queuedBytes_ = 0;  // handed to the device and not yet released from the ring

    // The song's frame number of every queued block, oldest first; the output thread's own.
    const WindowHandle notifyWindow_;
    std::deque<int32_t> queuedFrames_;
    int32_t nextFrame_ = 0;
    int32_t totalFrames_ = -1;
    int32_t lastPercent_ = -1;
};

}  // namespace kivo
