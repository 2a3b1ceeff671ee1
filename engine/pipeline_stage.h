// What the three stages of a pipeline share: a wake semaphore (kicks: work may be possible), a
// run semaphore (released by run while paused), the paused and stop flags, the owner that
// receives reports, the output ring the stage owns, the input ring it reads and the stage that
// reads its output.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "byte_ring.h"
#include "stage_message.h"
#include "sync_objects.h"

namespace kivo {

class PipelineStage {
public:
    explicit PipelineStage(StageOwner* owner) : owner_(owner) {}
    // The derived stage has stopped and joined its thread before this runs; the output ring
    // goes with the stage.
    virtual ~PipelineStage();
    PipelineStage(const PipelineStage&) = delete;
    PipelineStage& operator=(const PipelineStage&) = delete;

    // Sets paused and kicks, so that a waiting thread looks at the flag.
    virtual void pause();
    // Clears paused and releases the run semaphore.
    virtual void run();
    // Wakes the stage's thread if it waits for work; a kick while it is busy stays counted.
    virtual void kick();
    // Empties the output ring, if the stage has one.
    virtual StageResult resetOutput();
    void setInputRing(ByteRing* ring);
    // The stage kicked whenever this one has added to its output ring, so that it need not
    // poll; set to null before that stage goes away.
    void setConsumer(PipelineStage* consumer);
    // Reports StageFailed, with the result that ended the stage, to the owner.
    void fail(StageResult cause);
    // Every report of this stage carries the number of its pipeline.
    void setPipeline(uint32_t pipeline) { pipeline_ = pipeline; }
    // Waits for a kick; true when the stage is to stop.
    bool waitForWake();

    bool stopRequested() const { return stop_.load(std::memory_order_acquire); }
    bool paused() const { return paused_.load(std::memory_order_acquire); }

protected:
    // Sets stop, clears paused and releases both semaphores so that the thread can end.
    void requestStop();
    // Waits on the run semaphore while paused; true when the stage is to stop.
    bool waitWhilePaused();
    void post(StageMessagePtr message);
    void kickConsumer();

    CountingSemaphore wakeSemaphore_;
    CountingSemaphore runSemaphore_;
    Mutex mutex_;  // serialises pause and run with the stage's own use of its links
    StageOwner* owner_;
    uint32_t pipeline_ = 0;
    std::unique_ptr<ByteRing> outputRing_;
    ByteRing* inputRing_ = nullptr;
    std::atomic<bool> paused_{false};
    std::atomic<bool> stop_{false};

private:
    std::mutex consumerMutex_;
    PipelineStage* consumer_ = nullptr;
};

}  // namespace kivo
