#include "platform/filesystem.h"

// The POSIX side of the platform layer: the directory calls go through
// std::filesystem, whose narrow strings are the system's own bytes here, and
// the file calls through open/fstat.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace timbrex::platform {

std::optional<std::string> current_directory() {
    std::error_code error;
    fs::path path = fs::current_path(error);
    if (error) return std::nullopt;
    return path.string();
}

bool enter_directory(const std::string& path) {
    std::error_code error;
    fs::current_path(fs::path(path), error);
    return !error;
}

namespace {

EntryKind classify(const fs::directory_entry& entry) {
    std::error_code error;
    const fs::file_status own = entry.symlink_status(error);
    if (error) return EntryKind::other;
    if (fs::is_directory(own)) return EntryKind::directory;
    if (fs::is_regular_file(own)) return EntryKind::file;
    if (fs::is_symlink(own)) {
        const fs::file_status target = entry.status(error);
        if (!error && fs::is_regular_file(target)) return EntryKind::file;
    }
    return EntryKind::other;
}

}  // namespace

bool list_current_directory(std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::error_code error;
    fs::directory_iterator it(fs::path("."), error);
    if (error) return false;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        entries.push_back({it->path().filename().string(), classify(*it)});
    }
    // std::string compares as unsigned bytes, as strcmp does.
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return true;
}

std::FILE* open_regular_file(const std::string& path) {
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused right after.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

long long file_size(std::FILE* file) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0) return -1;
    return static_cast<long long>(info.st_size);
}

void remove_partial_file(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::canonical(fs::path(path), error);
    if (error || !fs::is_regular_file(target, error)) return;
    fs::remove(target, error);
}

}  // namespace timbrex::platform
