#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

#include "platform/worker_thread.h"

namespace timbrex::platform {

struct WorkerThread::State {
    std::function<void()> work;
    pthread_t thread{};
    void* mapping = nullptr;  // the stack and the guard page below it
    size_t mapping_size = 0;
    bool joinable = false;
};

namespace {

void* run_work(void* state) {
    static_cast<WorkerThread::State*>(state)->work();
    return nullptr;
}

// The size the system gives a thread it makes the stack of itself: glibc
// takes it from the stack limit (ulimit -s).
size_t default_stack_size() {
    pthread_attr_t attributes;
    size_t size = 0;
    if (pthread_attr_init(&attributes) != 0) return size_t{8} << 20;
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
    return size;
}

// Starts the thread on a stack mapped here, so that unmapping it after the
// join gives its address space back. An error number, 0 on success.
int start_on_own_stack(WorkerThread::State& state) {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t stack_size = (default_stack_size() + page - 1) / page * page;
    state.mapping_size = stack_size + page;
    void* mapping =
        mmap(nullptr, state.mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED) return errno;
    state.mapping = mapping;
    // The lowest page stays inaccessible, so that an overflow faults instead
    // of writing into whatever lies below.
    if (mprotect(mapping, page, PROT_NONE) != 0) return errno;
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0) return error;
    error = pthread_attr_setstack(&attributes, static_cast<char*>(mapping) + page, stack_size);
    if (error == 0) error = pthread_create(&state.thread, &attributes, run_work, &state);
    pthread_attr_destroy(&attributes);
    return error;
}

void unmap_stack(WorkerThread::State& state) {
    if (state.mapping != nullptr) munmap(state.mapping, state.mapping_size);
    state.mapping = nullptr;
}

}  // namespace

WorkerThread::WorkerThread(std::function<void()> work) : state_(new State) {
    state_->work = std::move(work);
    const int error = start_on_own_stack(*state_);
    if (error != 0) {
        unmap_stack(*state_);
        if (error == ENOMEM) throw std::bad_alloc();
        throw std::system_error(error, std::generic_category(), "cannot start a worker thread");
    }
    state_->joinable = true;
}

WorkerThread::WorkerThread(WorkerThread&& other) noexcept = default;

WorkerThread::~WorkerThread() { join(); }

void WorkerThread::join() {
    if (!state_ || !state_->joinable) return;
    pthread_join(state_->thread, nullptr);
    state_->joinable = false;
    unmap_stack(*state_);
}

}  // namespace timbrex::platform
