#include "message_queue.h"

namespace kivo {

void MessageQueue::post(StageMessagePtr message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(message));
}

StageMessagePtr MessageQueue::take() {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) return nullptr;
    StageMessagePtr message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

}  // namespace kivo
