#include "platform/filesystem.h"

// The Windows side of the platform layer. Every call is an "A" call, so paths
// stay byte strings in the ANSI code page from the command line through the
// listing to fopen and the output names; std::filesystem is not used because
// libstdc++ reads narrow strings as UTF-8 on Windows.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

namespace timbrex::platform {

std::optional<std::string> current_directory() {
    // Asked for with no room, the call tells the length it needs, terminator
    // included. The path may grow between the two calls if another thread
    // changes directory; then the second call asks again.
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    while (needed != 0) {
        std::string path(needed, '\0');
        const DWORD written = GetCurrentDirectoryA(needed, path.data());
        if (written == 0) break;
        if (written < needed) {
            path.resize(written);
            return path;
        }
        needed = written;
    }
    return std::nullopt;
}

bool enter_directory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

namespace {

struct FindCloser {
    void operator()(void* search) const { FindClose(search); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

EntryKind classify(DWORD attributes) {
    // 0x10 marks a directory. A directory that is also a reparse point is a
    // junction or a directory symbolic link: never followed, so a junction
    // back up the tree cannot make the walk loop.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::other : EntryKind::directory;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::other;
    // A symbolic link to a file is opened like the file, as on POSIX.
    return EntryKind::file;
}

}  // namespace

namespace {

// The entries matching `pattern`, in plain byte order of their names.
bool list_matching(const std::string& pattern, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (search.get() == INVALID_HANDLE_VALUE) {
        search.release();
        // A drive's root has no "." and "..": when empty, it matches nothing.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        entries.push_back({name, classify(found.dwFileAttributes)});
    } while (FindNextFileA(search.get(), &found));
    // NTFS returns names in its own case-folded order and FAT in the order of
    // creation; byte order gives the same numbering as on POSIX.
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return true;
}

}  // namespace

bool list_current_directory(std::vector<DirectoryEntry>& entries) { return list_matching("*.*", entries); }

bool list_directory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    const bool ends_in_separator = !path.empty() && (path.back() == '\\' || path.back() == '/' || path.back() == ':');
    // A path that is not a directory gives "not found" for the pattern too: tell the two apart.
    if (!is_directory(path)) return false;
    return list_matching(path + (ends_in_separator ? "" : "\\") + "*.*", entries);
}

std::FILE* open_regular_file(const std::string& path) {
    // A directory cannot be opened as a file at all; reserved names such as
    // "nul.vgm" or "com1.vgz" open a device, and a named pipe may never end.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return nullptr;
    struct _stati64 info {};
    if (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

long long file_size(std::FILE* file) {
    struct _stati64 info {};
    if (_fstati64(_fileno(file), &info) != 0) return -1;
    return static_cast<long long>(info.st_size);
}

void remove_partial_file(const std::string& path) {
    // Opened without FILE_FLAG_OPEN_REPARSE_POINT, a symbolic link leads to
    // the file it names, which is the one that was written short. Directories
    // cannot be opened this way, and devices are left alone.
    HANDLE file = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    if (GetFileType(file) == FILE_TYPE_DISK) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(file);
}

bool path_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool is_directory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool make_directory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool remove_empty_directory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool remove_file(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::optional<std::string> write_temporary_file(const std::string& path, const uint8_t* data, size_t size) {
    constexpr int kAttempts = 100;
    const std::string stem = path + ".tmp" + std::to_string(GetCurrentProcessId());
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
        // CREATE_NEW: never over a file of that name.
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return std::nullopt;
        }
        bool written = true;
        while (written && size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD done = 0;
            written = WriteFile(file, data, chunk, &done, nullptr) != 0 && done == chunk;
            data += chunk;
            size -= chunk;
        }
        const bool closed = CloseHandle(file) != 0;
        if (written && closed) return name;
        DeleteFileA(name.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

bool rename_replacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace timbrex::platform
