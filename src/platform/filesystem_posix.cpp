#include "platform/filesystem.h"

// The POSIX side of the platform layer: the directory calls go through
// std::filesystem, whose narrow strings are the system's own bytes here, and
// the file calls through open/fstat.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

bool list_current_directory(std::vector<DirectoryEntry>& entries) { return list_directory(".", entries); }

bool list_directory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::error_code error;
    fs::directory_iterator it(fs::path(path), error);
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

bool path_exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool is_directory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_directory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool remove_empty_directory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

namespace {

bool write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

std::optional<std::string> write_temporary_file(const std::string& path, const uint8_t* data, size_t size) {
    constexpr int kAttempts = 100;
    const std::string stem = path + ".tmp" + std::to_string(::getpid());
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
        // O_EXCL: never through a link, never over a file of that name.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        const bool written = write_all(fd, data, size);
        // A full disk may only show when the file is closed.
        const bool closed = ::close(fd) == 0;
        if (written && closed) return name;
        ::unlink(name.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

bool rename_replacing(const std::string& from, const std::string& to) {
    // A link at `to` is replaced itself; a directory there is refused (EISDIR).
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace timbrex::platform
