#pragma once
// Runs the built timbrex binary in a directory of a test's own and captures
// what it prints, without a shell in between.

#include <string>
#include <vector>

namespace timbrex::testing {

struct RunResult {
    std::string out;        // everything written to standard output, each line ending in "\n"
    std::string raw_out;    // the same as written, with the system's line ends
    std::string err;        // everything written to standard error
    int status = -1;        // exit status, or -1 if the process did not exit normally
    long peak_rss_kib = 0;  // the process's peak resident memory
};

RunResult run_timbrex(const std::string& directory, const std::vector<std::string>& arguments);

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
