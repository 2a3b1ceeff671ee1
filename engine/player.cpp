#include "player.h"

#include <cstring>
#include <new>

#include "notify_messages.h"
#include "pipeline.h"

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
    if (!pipeline_) {
        std::unique_ptr<Pipeline> pipeline = Pipeline::create(this, notifyWindow);
        if (!pipeline || pipeline->open(&fileList_[cursor_]) != kStageOk) {
            notifyWindow_ = 0;
            return;
        }
        pipeline_ = std::move(pipeline);
    }
    notifyWindow_ = notifyWindow;
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
        const int32_t code = message->code();
        message.reset();
        if (code == kPlaybackFinished || code == kStageFailed) fileEnded();
    }
}

void Player::fileEnded() {
    std::lock_guard lock(lock_);
    // A player being removed reports nothing more and starts nothing new.
    if (quit_.load(std::memory_order_acquire)) return;
    pipeline_.reset();
    setState(kPlayerStopped);
    postToWindow(notifyWindow_, WM_PLAYPROGRESS, 100);
    cursor_ += std::strlen(&fileList_[cursor_]) + 1;
    if (fileList_[cursor_] == '\0') {
        cursor_ = 0;
        if (repeatCount_ > 0 && --repeatCount_ == 0) {
            quit_.store(true, std::memory_order_release);
            return;
        }
    }
    startAtCursor(notifyWindow_, 0);
}

}  // namespace kivo
