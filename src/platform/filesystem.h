#pragma once
// The little the program needs of the file system, behind one header so that
// another platform only has to provide these functions.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace timbrex::platform {

// Absolute path of the current directory, or nothing if it cannot be read.
std::optional<std::string> current_directory();

// Makes `path` the current directory; false if it cannot be entered.
bool enter_directory(const std::string& path);

enum class EntryKind {
    directory,  // a real directory, not reached through a symbolic link
    file,       // a regular file, or a symbolic link to one
    other,      // links to directories, dangling links, FIFOs, sockets, devices
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
