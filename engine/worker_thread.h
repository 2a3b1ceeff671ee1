// One thread of a stage or of a player. Stopping is cooperative: the owner sets its stop flag,
// wakes the thread and joins it; a thread is never killed.
#pragma once

#include <thread>

namespace kivo {

class WorkerThread {
public:
    using StartFunction = void (*)(void* argument);

    WorkerThread() = default;
    // Does not stop the thread; the owner joins it first.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs function(argument) on a new thread; false when no thread could be created.
    bool start(StartFunction function, void* argument);
    // Waits for the thread to end; harmless when it never started or was joined already.
    void join();
    bool started() const { return thread_.joinable(); }

private:
    std::thread thread_;
    StartFunction function_ = nullptr;
    void* argument_ = nullptr;
};

}  // namespace kivo
