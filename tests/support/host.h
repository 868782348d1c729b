#pragma once
// What the tests need of the system they run on, one implementation per
// system (host_posix.cpp, host_win32.cpp), so that the test files themselves
// never branch on the platform.

#include <filesystem>
#include <string>

namespace timbrex::testing {

#ifdef _WIN32
constexpr bool kPosix = false;
constexpr char kSeparator = '\\';
constexpr const char* kLineEnd = "\r\n";  // a console program's stdout in text mode
#else
constexpr bool kPosix = true;
constexpr char kSeparator = '/';
constexpr const char* kLineEnd = "\n";
#endif

// For test bodies (with gtest included): skips the running test on systems without FIFOs, device files, permission
// bits or a root user; `reason` says which of them the test needs.
#define TIMBREX_SKIP_UNLESS_POSIX(reason)                                             \
    do {                                                                              \
        if (!::timbrex::testing::kPosix) GTEST_SKIP() << "needs POSIX: " << (reason); \
    } while (false)

// `path` with every "/" made the system's separator, as timbrex prints paths
// that it builds itself.
inline std::string native(std::string path) {
    for (char& c : path) c = c == '/' ? kSeparator : c;
    return path;
}

// The absolute path of an existing directory or file, with links, "..",
// short names and the like resolved, as the system reports it.
std::string real_path(const std::string& path);

bool make_directory(const std::string& path);

// A symbolic link to a directory, or a junction where no symbolic link can be
// made; false if the system offers neither.
bool make_directory_link(const std::string& target, const std::string& link);

// Paths as std::filesystem takes and gives them. Tests hold paths as byte
// strings; on Windows those are in the ANSI code page, while libstdc++ reads
// narrow strings there as UTF-8.
std::filesystem::path to_path(const std::string& path);
std::string from_path(const std::filesystem::path& path);

// The letter e with acute in the bytes the system's file names use: UTF-8 on
// POSIX, the ANSI code page on Windows; empty if that code page lacks it.
std::string e_acute();

// POSIX only; each returns false on Windows, whose tests skip first.
bool running_as_root();
bool make_fifo(const std::string& path);
bool make_symlink(const std::string& target, const std::string& link);
bool set_mode(const std::string& path, unsigned mode);
// The address space this process has reserved, in KiB, as RLIMIT_AS counts it; 0 if unknown.
long address_space_in_use_kib();

}  // namespace timbrex::testing
