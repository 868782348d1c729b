#pragma once
// The little the program needs of the file system, behind one header:
// filesystem_posix.cpp and filesystem_win32.cpp each provide these functions,
// and the build picks one. Paths are plain byte strings on both systems (on
// Windows in the ANSI code page, as the command line and fopen have them).

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace timbrex::platform {

// What the system puts between a directory and a name in the paths it reports.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Absolute path of the current directory, or nothing if it cannot be read.
std::optional<std::string> current_directory();

// Makes `path` the current directory; false if it cannot be entered.
bool enter_directory(const std::string& path);

enum class EntryKind {
    directory,  // a real directory, not reached through a symbolic link or junction
    file,       // a regular file, or a symbolic link to one
    other,      // links to directories, junctions, dangling links, FIFOs, sockets, devices
};

struct DirectoryEntry {
    std::string name;
    EntryKind kind;
};

// The entries of the current directory without "." and "..", sorted by name in
// plain byte order. False if the listing cannot be started.
bool list_current_directory(std::vector<DirectoryEntry>& entries);

// Opens a regular file for binary reading; nullptr for anything else (missing,
// unreadable, a directory, a FIFO or device that could block or never end).
std::FILE* open_regular_file(const std::string& path);

// Size of an open file in bytes, or -1.
long long file_size(std::FILE* file);

// Removes what a failed save left behind, following a symbolic link to the
// regular file it names; devices and other entries are left alone.
void remove_partial_file(const std::string& path);

}  // namespace timbrex::platform
