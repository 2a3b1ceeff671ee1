// One player: a list of files played one after another, a given number of passes, through a
// pipeline per file. Its message thread learns from the stages when a file has
// ended or failed, tells the notify window and moves on to the next path.
//
// One lock guards the state, the cursor, the notify window and the pipeline. The stage threads
// never take it, so it may be held while a pipeline is destroyed (which joins them); it is
// never held while joining the message thread, which does take it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "message_queue.h"
#include "notify_window.h"
#include "stage_message.h"
#include "sync_objects.h"
#include "worker_thread.h"

namespace kivo {

class Pipeline;

enum PlayerState : int32_t {
    kPlayerPaused = 1,
    kPlayerPlaying = 2,
    kPlayerStopped = 3,
};

class Player : public StageOwner {
public:
    // Null when memory runs out or the message thread cannot be created.
    static Player* create(const char* fileList, int32_t repeatCount);
    // Destroys the pipeline, then ends and joins the message thread.
    ~Player() override;

    void newPlay(WindowHandle notifyWindow, int32_t startPercent);
    void setPauseState(int32_t pause);
    PlayerState state() const { return state_.load(std::memory_order_acquire); }

    void postStageMessage(StageMessagePtr message) override;

private:
    Player(const char* fileList, int32_t repeatCount);
    static void messageThreadMain(void* player);
    void messageLoop();
    // A pipeline's end or failure; one from a pipeline already replaced is dropped.
    void fileEnded(const StageMessage& message);
    // Starts (or resumes) the path at the cursor; with the lock held.
    void startAtCursor(WindowHandle notifyWindow, int32_t startPercent);
    void setState(PlayerState state) { state_.store(state, std::memory_order_release); }

    CountingSemaphore wake_;
    std::atomic<PlayerState> state_{kPlayerStopped};
    MessageQueue queue_;
    std::atomic<bool> quit_{false};
    WorkerThread messageThread_;
    int32_t repeatCount_;
    std::vector<char> fileList_;  // paths, each ended by NUL, and one more NUL; empty for none
    size_t cursor_ = 0;           // offset of the path being played
    WindowHandle notifyWindow_ = 0;
    std::unique_ptr<Pipeline> pipeline_;
    uint32_t pipelinesBuilt_ = 0;
    uint32_t currentPipeline_ = 0;  // the one whose end is awaited; 0 for none
    bool passPlayed_ = false;       // a file of this pass over the list played to its end
    std::mutex lock_;
};

}  // namespace kivo
