#include "driver/file_harvest.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/heap.h"
#include "platform/worker_thread.h"

namespace timbrex {

namespace {

// The files still to harvest and the outcomes not yet taken, shared by the
// workers and the thread that takes the outcomes; every member is guarded by
// `mutex`.
struct HarvestQueue {
    explicit HarvestQueue(const std::vector<std::string>& list) : paths(list), outcomes(list.size()) {}

    const std::vector<std::string>& paths;
    std::mutex mutex;
    std::condition_variable finished;  // an outcome has arrived
    size_t next = 0;                   // the next file a worker takes
    bool stopping = false;
    std::vector<std::optional<FileOutcome>> outcomes;  // by position, until taken
};

void harvest_queued_files(HarvestQueue& queue) {
    LogBuffer log;
    std::unique_lock<std::mutex> lock(queue.mutex);
    while (!queue.stopping && queue.next < queue.paths.size()) {
        const size_t position = queue.next++;
        lock.unlock();
        FileOutcome outcome = harvest_file(queue.paths[position], log);
        lock.lock();
        queue.outcomes[position] = std::move(outcome);
        queue.finished.notify_all();
    }
}

// The worker threads: started together, and stopped and joined when the
// taking ends, whether it ends normally or by an exception.
class Workers {
   public:
    Workers(HarvestQueue& queue, unsigned count) : queue_(queue) {
        threads_.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            // Short of threads or of memory for one, fewer do the work; an
            // exception leaving here would leave the started ones unjoined.
            try {
                threads_.emplace_back([&queue] { harvest_queued_files(queue); });
            } catch (const std::system_error&) {
                break;
            } catch (const std::bad_alloc&) {
                break;
            }
        }
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    ~Workers() {
        {
            const std::lock_guard<std::mutex> lock(queue_.mutex);
            queue_.stopping = true;
        }
        for (platform::WorkerThread& thread : threads_) thread.join();
    }

    bool any() const { return !threads_.empty(); }

   private:
    HarvestQueue& queue_;
    std::vector<platform::WorkerThread> threads_;
};

FileOutcome wait_for_outcome(HarvestQueue& queue, size_t position) {
    std::unique_lock<std::mutex> lock(queue.mutex);
    queue.finished.wait(lock, [&] { return queue.outcomes[position].has_value(); });
    FileOutcome outcome = std::move(*queue.outcomes[position]);
    queue.outcomes[position].reset();
    return outcome;
}

bool ran_short_of_memory(const FileOutcome& outcome) {
    return outcome.out_of_memory || outcome.load == LogReadStatus::cannot_allocate ||
           outcome.harvest.status == HarvestStatus::out_of_memory;
}

// Takes the workers' outcomes in list order up to the first that ran short
// of memory, or to the end; returns the position of the first file not
// taken. The workers are joined on return, their logs released.
size_t take_from_workers(const std::vector<std::string>& paths, unsigned threads, const TakeOutcome& take) {
    // What a worker's allocations reserve must be free again once it is
    // joined, or the files left to the calling thread would have less room
    // than a run on one thread gives them.
    platform::share_main_heap_with_threads();
    HarvestQueue queue(paths);
    const Workers workers(queue, threads);
    if (!workers.any()) return 0;
    for (size_t position = 0; position < paths.size(); ++position) {
        FileOutcome outcome = wait_for_outcome(queue, position);
        if (ran_short_of_memory(outcome)) return position;
        take(position, outcome);
    }
    return paths.size();
}

// The files from `first` on, one after another on the calling thread.
void harvest_in_line(const std::vector<std::string>& paths, size_t first, const TakeOutcome& take) {
    LogBuffer log;
    for (size_t position = first; position < paths.size(); ++position) {
        FileOutcome outcome = harvest_file(paths[position], log);
        take(position, outcome);
    }
}

}  // namespace

FileOutcome harvest_file(const std::string& path, LogBuffer& log) noexcept {
    FileOutcome outcome;
    try {
        outcome.load = read_log(path, log);
        if (outcome.load == LogReadStatus::ok) {
            outcome.failed_check = log.failed_check;
            outcome.harvest = harvest_log(log.bytes.get(), log.length);
        }
    } catch (const std::bad_alloc&) {
        outcome.out_of_memory = true;
    }
    return outcome;
}

void harvest_in_order(const std::vector<std::string>& paths, unsigned threads, const TakeOutcome& take) {
    const size_t taken = threads > 1 && paths.size() > 1 ? take_from_workers(paths, threads, take) : 0;
    harvest_in_line(paths, taken, take);
}

}  // namespace timbrex
