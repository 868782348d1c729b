#pragma once
// Runs the built timbrex or timbrex-bank binary in a directory of a test's own and captures
// what it prints, without a shell in between.

#include <string>
#include <vector>

namespace timbrex::testing {

struct RunResult {
    std::string out;        // everything written to standard output, each line ending in "\n"
    std::string raw_out;    // the same as written, with the system's line ends
    std::string err;        // everything written to standard error, each line ending in "\n"
    int status = -1;        // exit status, or -1 if the process did not exit normally
    long peak_rss_kib = 0;  // the process's peak resident memory
};

// Conditions the run is started under, for the failures a test cannot set up
// with files alone.
struct RunLimits {
    // Largest size in bytes a file written by the run may reach (RLIMIT_FSIZE),
    // or negative for no limit. SIGXFSZ is ignored, so a write beyond the limit
    // fails the way a full disk does instead of killing the process.
    long long file_size = -1;
    // When the tests run as root: run as the unprivileged user nobody, so that
    // file permissions hold as they do for everybody else. The directories the
    // run needs must then be open to others.
    bool unprivileged = false;
    // The child's address space in KiB (RLIMIT_AS), as `ulimit -v` sets it; 0 for none.
    long address_space_kib = 0;
    // The number of CPUs the child may run on, the first of those the tests
    // may use, so that the program starts that many workers; 0 leaves them
    // all. The run fails with status 125 if fewer are there.
    int cpus = 0;
};

RunResult run_timbrex(const std::string& directory, const std::vector<std::string>& arguments,
                      const RunLimits& limits = {});

// The same run made by the driver's run_harvest with `threads` workers in a
// child process forked from the test, for a thread count the CPUs the tests
// may use would not give the binary. The child starts with the test's own
// address space, which an address-space limit must allow for. POSIX only.
RunResult run_harvest_in_child(const std::string& directory, const std::vector<std::string>& arguments,
                               unsigned threads, const RunLimits& limits = {});

// The same for the built timbrex-bank binary.
RunResult run_timbrex_bank(const std::string& directory, const std::vector<std::string>& arguments,
                           const RunLimits& limits = {});

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
   public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Joined with "/", which both systems accept in the paths given to them.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

   private:
    std::string path_;
};

// Names of the regular files in `directory`, sorted.
std::vector<std::string> files_in(const std::string& directory);

}  // namespace timbrex::testing
