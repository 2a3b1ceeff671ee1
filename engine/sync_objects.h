// The counting semaphore and mutex the stages wait on. Waits have no time limit; a release
// that arrives while nobody waits stays counted and ends the next wait at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kivo {

class CountingSemaphore {
public:
    explicit CountingSemaphore(int32_t initial = 0) : count_(initial) {}
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    void release() {
        {
            std::lock_guard lock(mutex_);
            if (count_ < kMaxCount) ++count_;
        }
        available_.notify_one();
    }

    void wait() {
        std::unique_lock lock(mutex_);
        available_.wait(lock, [this] { return count_ > 0; });
        --count_;
    }

    static constexpr int32_t kMaxCount = 2147483647;

private:
    std::mutex mutex_;
    std::condition_variable available_;
    int32_t count_;
};

// A plain mutex, initially not owned; usable with std::lock_guard and std::unique_lock.
using Mutex = std::mutex;

}  // namespace kivo
