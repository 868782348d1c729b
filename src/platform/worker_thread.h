#pragma once
// A thread for the harvest's workers: worker_thread_posix.cpp, and
// worker_thread_standard.cpp for Windows and the browser, each provide it,
// and the build picks one.

#include <functional>
#include <memory>

namespace timbrex::platform {

// A thread whose stack is given back to the system when it is joined. glibc
// keeps the stacks of joined std::threads for threads to come (up to 40 MiB),
// address space that a limit such as ulimit -v counts: the work the calling
// thread does after the workers would have less room than in a run that never
// started a thread.
class WorkerThread {
   public:
    // Starts `work` on a new thread; throws std::system_error or
    // std::bad_alloc, as std::thread does, when none can be started.
    explicit WorkerThread(std::function<void()> work);
    WorkerThread(WorkerThread&& other) noexcept;
    WorkerThread& operator=(WorkerThread&&) = delete;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // Joins the thread if it has not been joined.
    ~WorkerThread();

    // Waits for `work` to return and releases the thread's stack.
    void join();

    // The thread and its stack, as each system holds them.
    struct State;

   private:
    std::unique_ptr<State> state_;
};

}  // namespace timbrex::platform
