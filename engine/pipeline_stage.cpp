#include "pipeline_stage.h"

#include <mutex>

namespace kivo {

PipelineStage::~PipelineStage() {
    requestStop();
    outputRing_.reset();
}

void PipelineStage::pause() {
    {
        std::lock_guard lock(mutex_);
        paused_.store(true, std::memory_order_release);
    }
    kick();
}

void PipelineStage::run() {
    std::lock_guard lock(mutex_);
    paused_.store(false, std::memory_order_release);
    runSemaphore_.release();
}

void PipelineStage::kick() {
    wakeSemaphore_.release();
}

StageResult PipelineStage::resetOutput() {
    std::lock_guard lock(mutex_);
    return outputRing_ ? outputRing_->reset() : kStageOk;
}

void PipelineStage::setInputRing(ByteRing* ring) {
    std::lock_guard lock(mutex_);
    inputRing_ = ring;
}

void PipelineStage::setConsumer(PipelineStage* consumer) {
    std::lock_guard lock(consumerMutex_);
    consumer_ = consumer;
}

void PipelineStage::kickConsumer() {
    std::lock_guard lock(consumerMutex_);
    if (consumer_) consumer_->kick();
}

void PipelineStage::fail(StageResult cause) {
    post(std::make_unique<StageMessage>(kStageFailed, cause));
}

void PipelineStage::post(StageMessagePtr message) {
    message->setPipeline(pipeline_);
    if (owner_) owner_->postStageMessage(std::move(message));
}

bool PipelineStage::waitForWake() {
    wakeSemaphore_.wait();
    return stopRequested();
}

bool PipelineStage::waitWhilePaused() {
    while (paused() && !stopRequested()) runSemaphore_.wait();
    return stopRequested();
}

void PipelineStage::requestStop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true, std::memory_order_release);
        paused_.store(false, std::memory_order_release);
    }
    runSemaphore_.release();
    wakeSemaphore_.release();
}

}  // namespace kivo
