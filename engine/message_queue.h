// The player's inbox: stage messages in posting order. Messages still queued are deleted with
// the queue.
#pragma once

#include <deque>
#include <mutex>

#include "stage_message.h"

namespace kivo {

class MessageQueue {
public:
    void post(StageMessagePtr message);
    // The oldest message, or null when the queue is empty.
    StageMessagePtr take();

private:
    std::mutex mutex_;
    std::deque<StageMessagePtr> messages_;
};

}  // namespace kivo
