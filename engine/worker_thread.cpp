#include "worker_thread.h"

#include <system_error>

namespace kivo {

WorkerThread::~WorkerThread() {
    // The owner has joined already; detaching keeps a forgotten thread from ending the process.
    if (thread_.joinable()) thread_.detach();
}

bool WorkerThread::start(StartFunction function, void* argument) {
    if (thread_.joinable()) return false;
    function_ = function;
    argument_ = argument;
    try {
        thread_ = std::thread([function, argument] { function(argument); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WorkerThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace kivo
