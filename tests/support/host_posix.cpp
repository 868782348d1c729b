#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "host.h"

namespace timbrex::testing {

std::string real_path(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool make_directory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool make_directory_link(const std::string& target, const std::string& link) { return make_symlink(target, link); }

std::filesystem::path to_path(const std::string& path) { return std::filesystem::path(path); }

std::string from_path(const std::filesystem::path& path) { return path.string(); }

std::string e_acute() { return "\xC3\xA9"; }

bool running_as_root() { return ::geteuid() == 0; }

bool make_fifo(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

bool make_symlink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool set_mode(const std::string& path, unsigned mode) { return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0; }

long address_space_in_use_kib() {
    // The first field of statm is the process's size in pages.
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    if (!(statm >> pages)) return 0;
    return pages * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace timbrex::testing
