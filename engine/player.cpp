#include "player.h"

#include <cstring>
#include <new>

#include "notify_messages.h"
#include "pipeline.h"
#include "play_failure.h"

namespace kivo {

namespace {

// The list's length up to and including the NUL after its last path.
size_t listLength(const char* list) {
    if (!list) return 0;
    size_t length = 0;
    while (list[length] != '\0') length += std::strlen(list + length) + 1;
    return length + 1;
}

}  // namespace

Player* Player::create(const char* fileList, int32_t repeatCount) {
    Player* player = nullptr;
    try {
        player = new Player(fileList, repeatCount);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!player->fileList_.empty() &&
        !player->messageThread_.start(&Player::messageThreadMain, player)) {
        delete player;
        return nullptr;
    }
    return player;
}

Player::Player(const char* fileList, int32_t repeatCount)
    : repeatCount_(repeatCount < 0 ? 0 : repeatCount) {
    const size_t length = listLength(fileList);
    if (length > 1) fileList_.assign(fileList, fileList + length);
}

Player::~Player() {
    {
        std::lock_guard lock(lock_);
        pipeline_.reset();
        quit_.store(true, std::memory_order_release);
    }
    wake_.release();
    messageThread_.join();
}

void Player::postStageMessage(StageMessagePtr message) {
    queue_.post(std::move(message));
    wake_.release();
}

void Player::newPlay(WindowHandle notifyWindow, int32_t startPercent) {
    std::lock_guard lock(lock_);
    if (state() == kPlayerPlaying) {
        pipeline_->pause();
        pipeline_.reset();
        setState(kPlayerStopped);
    }
    startAtCursor(notifyWindow, startPercent);
}

void Player::startAtCursor(WindowHandle notifyWindow, int32_t startPercent) {
    if (fileList_.empty() || fileList_[cursor_] == '\0') {
        notifyWindow_ = 0;
        return;
    }
    notifyWindow_ = notifyWindow;
    if (!pipeline_) {
        currentPipeline_ = ++pipelinesBuilt_;
        std::unique_ptr<Pipeline> pipeline = Pipeline::create(this, notifyWindow, currentPipeline_);
        const StageResult opened = pipeline ? pipeline->open(&fileList_[cursor_]) : kOutOfMemory;
        if (opened != kStageOk) {
            // Refused: the failure report moves the cursor on and tells the window why. The
            // source has usually posted it already; a second one for the same pipeline is
            // dropped. Destroying `pipeline` takes its stages with it.
            auto failed = std::make_unique<StageMessage>(kStageFailed, opened);
            failed->setPipeline(currentPipeline_);
            postStageMessage(std::move(failed));
            return;
        }
        pipeline_ = std::move(pipeline);
    }
    if (startPercent != 0) pipeline_->setStartPercent(startPercent);
    pipeline_->run();
    setState(kPlayerPlaying);
}

void Player::setPauseState(int32_t pause) {
    std::lock_guard lock(lock_);
    if (!pipeline_) return;
    if (pause != 0 && state() == kPlayerPlaying) {
        pipeline_->pause();
        setState(kPlayerPaused);
    } else if (pause == 0 && state() == kPlayerPaused) {
        pipeline_->run();
        setState(kPlayerPlaying);
    }
}

void Player::messageThreadMain(void* player) {
    static_cast<Player*>(player)->messageLoop();
}

void Player::messageLoop() {
    while (!quit_.load(std::memory_order_acquire)) {
        StageMessagePtr message = queue_.take();
        if (!message) {
            wake_.wait();
            continue;
        }
        if (message->code() == kPlaybackFinished || message->code() == kStageFailed) {
            fileEnded(*message);
        }
    }
}

void Player::fileEnded(const StageMessage& message) {
    std::lock_guard lock(lock_);
    // A player being removed reports nothing more and starts nothing new.
    if (quit_.load(std::memory_order_acquire)) return;
    // Queued before NewPlay replaced its pipeline: the song it speaks of is gone already.
    if (message.pipeline() != currentPipeline_ || currentPipeline_ == 0) return;
    currentPipeline_ = 0;
    pipeline_.reset();
    setState(kPlayerStopped);
    if (message.code() == kStageFailed) {
        postToWindow(notifyWindow_, WM_PLAYFAILED,
                     static_cast<uintptr_t>(playFailureOf(message.cause())));
    } else {
        passPlayed_ = true;
    }
    postToWindow(notifyWindow_, WM_PLAYPROGRESS, 100);
    cursor_ += std::strlen(&fileList_[cursor_]) + 1;
    if (fileList_[cursor_] == '\0') {
        cursor_ = 0;
        // A pass in which no file could play would go round without end.
        const bool nothingPlayed = !passPlayed_;
        passPlayed_ = false;
        if (nothingPlayed || (repeatCount_ > 0 && --repeatCount_ == 0)) {
            quit_.store(true, std::memory_order_release);
            return;
        }
    }
    startAtCursor(notifyWindow_, 0);
}

}  // namespace kivo
