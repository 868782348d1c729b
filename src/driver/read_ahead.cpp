#include "driver/read_ahead.h"

#include <system_error>
#include <utility>

namespace timbrex {

namespace {

void load_files(ReadAhead& ahead) {
    std::unique_lock<std::mutex> lock(ahead.mutex);
    for (;;) {
        ahead.changed.wait(lock, [&] { return ahead.stopping || ahead.path != nullptr; });
        if (ahead.stopping) return;
        const std::string& path = *ahead.path;
        ahead.path = nullptr;
        lock.unlock();
        // `next` is the worker's alone until `loading` is cleared.
        LogReadStatus status = LogReadStatus::ok;
        std::exception_ptr failure;
        try {
            status = read_log(path, ahead.next);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        ahead.status = status;
        ahead.failure = failure;
        ahead.loading = false;
        ahead.changed.notify_all();
    }
}

}  // namespace

ReadAhead::~ReadAhead() { stop_read_ahead(*this); }

bool start_read_ahead(ReadAhead& ahead, unsigned cores) {
    if (cores <= 1) return false;
    ahead.path = nullptr;
    ahead.loading = false;
    ahead.stopping = false;
    try {
        ahead.worker = std::thread(load_files, std::ref(ahead));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void request_load(ReadAhead& ahead, const std::string& path) {
    const std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.path = &path;
    ahead.loading = true;
    ahead.changed.notify_all();
}

LogReadStatus take_load(ReadAhead& ahead, LogBuffer& log) {
    std::unique_lock<std::mutex> lock(ahead.mutex);
    ahead.changed.wait(lock, [&] { return !ahead.loading; });
    std::swap(ahead.next, log);
    if (ahead.failure) std::rethrow_exception(std::exchange(ahead.failure, nullptr));
    return ahead.status;
}

void stop_read_ahead(ReadAhead& ahead) {
    if (!ahead.worker.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(ahead.mutex);
        ahead.stopping = true;
        ahead.changed.notify_all();
    }
    ahead.worker.join();
}

}  // namespace timbrex
