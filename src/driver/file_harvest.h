#pragma once
// One input file from its path to the voices it gives, and every file of a
// list so harvested on worker threads, handed back in list order.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "vgm/log_harvest.h"
#include "vgm/log_reader.h"

namespace timbrex {

struct FileOutcome {
    LogReadStatus load = LogReadStatus::ok;
    LogHarvest harvest;         // when the load was ok
    bool failed_check = false;  // the log's compressed data failed a check; its bytes were harvested
    // Memory ran out before the log was accepted (while loading it); memory
    // running out after is the harvest's out_of_memory.
    bool out_of_memory = false;
};

// Loads `path` into `log`, whose memory the next call may reuse, and
// harvests it. Prints nothing and touches nothing else: several files may be
// harvested at once.
FileOutcome harvest_file(const std::string& path, LogBuffer& log) noexcept;

using TakeOutcome = std::function<void(size_t position, const FileOutcome& outcome)>;

// Harvests every path and calls `take` on the calling thread for each, in the
// order of `paths`, as soon as that file and all before it are done. With
// `threads` above 1 the harvests run on that many worker threads, each
// holding one log at a time; with 1 they run in line and no thread is
// started. A file whose harvest ran short of memory on a worker, where the
// other workers' logs competed for it, is harvested again in line once the
// workers are joined, and the rest of the list with it. The workers leave
// nothing reserved behind them, neither heap nor stack, so that what it gives
// is then what a run on one thread gives, under an address-space limit too. Should `take` throw, the workers stop after
// their current file and are joined before the exception travels on.
void harvest_in_order(const std::vector<std::string>& paths, unsigned threads, const TakeOutcome& take);

}  // namespace timbrex
