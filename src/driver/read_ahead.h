#pragma once
// Reading and inflating the next input file on a second thread while the main
// thread walks the current one. The worker only loads bytes: every message,
// every capture and their order stay on the main thread, so a run gives what
// a run on one thread gives.

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "vgm/log_reader.h"

namespace timbrex {

struct ReadAhead {
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    const std::string* path = nullptr;  // the file asked for, until the worker takes it
    bool loading = false;               // a load is asked for or under way
    bool stopping = false;
    LogBuffer next;  // the worker's buffer while it loads
    LogReadStatus status = LogReadStatus::ok;
    std::exception_ptr failure;  // an exception of the load, raised again on the main thread

    ReadAhead() = default;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // Waits for a load under way: the run may end early, by an exception.
    ~ReadAhead();
};

// Starts the worker; false, and nothing started, with fewer than two cores or
// when the system cannot start a thread. The run is then sequential.
bool start_read_ahead(ReadAhead& ahead, unsigned cores);

// Asks the worker to load `path`, which must stay alive until taken. No load
// may be under way.
void request_load(ReadAhead& ahead, const std::string& path);

// Waits for the load asked for last and swaps its buffer with `log`, whose
// memory the worker reuses for the next load. Rethrows what the load threw.
LogReadStatus take_load(ReadAhead& ahead, LogBuffer& log);

// Ends the worker; nothing happens if it was never started.
void stop_read_ahead(ReadAhead& ahead);

}  // namespace timbrex
