#include "player.h"

#include <cstring>
#include <new>

#include "decoder_stage.h"
#include "notify_messages.h"
#include "output_stage.h"
#include "source_stage.h"

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
        head_.reset();
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
        head_->pause();
        head_.reset();
        setState(kPlayerStopped);
    }
    startAtCursor(notifyWindow, startPercent);
}

void Player::startAtCursor(WindowHandle notifyWindow, int32_t startPercent) {
    if (fileList_.empty() || fileList_[cursor_] == '\0') {
        notifyWindow_ = 0;
        return;
    }
    if (!head_) {
        std::unique_ptr<OutputStage> output = buildPipeline(notifyWindow);
        if (!output || output->openChain(&fileList_[cursor_]) != kStageOk) {
            notifyWindow_ = 0;
            return;  // destroying `output` takes the other two stages with it
        }
        head_ = std::move(output);
    }
    notifyWindow_ = notifyWindow;
    if (startPercent != 0) head_->setStartPercent(startPercent);
    head_->run();
    setState(kPlayerPlaying);
}

std::unique_ptr<OutputStage> Player::buildPipeline(WindowHandle notifyWindow) {
    try {
        auto source = std::make_unique<SourceStage>(this);
        auto output = std::make_unique<OutputStage>(this);
        auto decoder = std::make_unique<DecoderStage>(this, notifyWindow, pipelineDecoderOps());
        decoder->setSource(source.get());
        output->setSource(std::move(source));
        output->setDecoder(std::move(decoder));
        return output;
    } catch (const std::bad_alloc&) {
        return nullptr;  // refused like a file that cannot be opened
    }
}

void Player::setPauseState(int32_t pause) {
    std::lock_guard lock(lock_);
    if (!head_) return;
    if (pause != 0 && state() == kPlayerPlaying) {
        head_->pause();
        setState(kPlayerPaused);
    } else if (pause == 0 && state() == kPlayerPaused) {
        head_->run();
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
    head_.reset();
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
