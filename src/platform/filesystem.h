#pragma once
// The little the program needs of the file system, behind one header:
// filesystem_posix.cpp and filesystem_win32.cpp each provide these functions,
// and the build picks one. Paths are plain byte strings on both systems (on
// Windows in the ANSI code page, as the command line and fopen have them).

#include <cstddef>
#include <cstdint>
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

// True for a character that ends a directory's part of a path: "/" on every
// system, and "\" too on Windows.
#ifdef _WIN32
constexpr bool is_path_separator(char c) { return c == '/' || c == '\\'; }
#else
constexpr bool is_path_separator(char c) { return c == '/'; }
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

// The entries of the directory at `path`, as list_current_directory gives
// them, without entering it. False if it cannot be listed.
bool list_directory(const std::string& path, std::vector<DirectoryEntry>& entries);

// Opens a regular file for binary reading; nullptr for anything else (missing,
// unreadable, a directory, a FIFO or device that could block or never end).
std::FILE* open_regular_file(const std::string& path);

// Size of an open file in bytes, or -1.
long long file_size(std::FILE* file);

// Removes what a failed save left behind, following a symbolic link to the
// regular file it names; devices and other entries are left alone.
void remove_partial_file(const std::string& path);

// Whether anything at all (a file, a directory, a link) has the name `path`.
bool path_exists(const std::string& path);

// A directory, or a symbolic link to one.
bool is_directory(const std::string& path);

// Creates the directory `path`; false if it cannot, or if the name is taken.
bool make_directory(const std::string& path);

// Removes the empty directory `path`; false if it cannot.
bool remove_empty_directory(const std::string& path);

// Removes the file `path` (a link itself, not what it names); false if it cannot.
bool remove_file(const std::string& path);

// Writes `size` bytes into a new file beside `path`, named `path` with a
// suffix of its own, and never replaces anything that has that name. Returns
// the new file's name; nothing if it could not be created, written whole and
// closed, in which case it is gone again.
std::optional<std::string> write_temporary_file(const std::string& path, const uint8_t* data, size_t size);

// Renames the file `from` to `to`, replacing a file there in one step;
// false if it cannot (as when `to` is a directory).
bool rename_replacing(const std::string& from, const std::string& to);

}  // namespace timbrex::platform
