#include <thread>
#include <utility>

#include "platform/worker_thread.h"

namespace timbrex::platform {

// Windows frees a thread's stack when the thread ends, and a browser build
// has no threads (starting one fails, and the work is done in line): there a
// standard thread holds nothing after its join.
struct WorkerThread::State {
    std::thread thread;
};

WorkerThread::WorkerThread(std::function<void()> work) : state_(new State) {
    state_->thread = std::thread(std::move(work));
}

WorkerThread::WorkerThread(WorkerThread&& other) noexcept = default;

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::join() {
    if (state_ && state_->thread.joinable()) state_->thread.join();
}

}  // namespace timbrex::platform
