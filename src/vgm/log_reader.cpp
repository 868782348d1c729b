#include "vgm/log_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/filesystem.h"
#include "vgm/bytes.h"
#include "vgm/gzip_stream.h"

namespace timbrex {

namespace {

// Deflate cannot expand data by more than about 1032:1, so a compressed file
// of n bytes never inflates to more than this many bytes.
constexpr uint64_t kMaxInflateRatio = 1040;
constexpr uint64_t kInflateSlack = 1024;

constexpr uint8_t kVgmIdentifier[4] = {'V', 'g', 'm', ' '};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool starts_gzip(const uint8_t* head, size_t head_length) {
    return head_length >= 2 && head[0] == 0x1F && head[1] == 0x8B;
}

uint32_t read_trailer(std::FILE* file, long long file_length) {
    uint8_t tail[4] = {0, 0, 0, 0};
    if (file_length < 4 || std::fseek(file, -4, SEEK_END) != 0 || std::fread(tail, 1, 4, file) != 4) return 0;
    return read_le32(tail, 0);
}

}  // namespace

int64_t announced_size(const uint8_t* head, size_t head_length, long long file_length, uint32_t tail) {
    // The size is a signed 32-bit count: 2^31 or more cannot be held.
    const bool plain = head_length >= 4 && std::memcmp(head, kVgmIdentifier, 4) == 0;
    if (plain) return file_length > INT32_MAX ? -1 : file_length;
    return tail > static_cast<uint32_t>(INT32_MAX) ? -1 : static_cast<int64_t>(tail);
}

LogReadStatus read_log(const std::string& path, LogBuffer& log) {
    log.length = 0;
    FileHandle file(platform::open_regular_file(path));
    if (!file) return LogReadStatus::cannot_open;
    const long long file_length = platform::file_size(file.get());
    if (file_length < 0) return LogReadStatus::cannot_open;

    uint8_t head[4] = {0, 0, 0, 0};
    const size_t head_length = std::fread(head, 1, sizeof head, file.get());
    const int64_t size = announced_size(head, head_length, file_length, read_trailer(file.get(), file_length));
    if (size < 0) return LogReadStatus::cannot_allocate;

    // Never reserve more than the file can deliver, whatever its trailer claims.
    const uint64_t most_deliverable = starts_gzip(head, head_length)
                                          ? static_cast<uint64_t>(file_length) * kMaxInflateRatio + kInflateSlack
                                          : static_cast<uint64_t>(file_length);
    const size_t capacity = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size), most_deliverable));
    if (!log.bytes || log.capacity < capacity) {
        // The old buffer goes before the new one comes, so that the two are
        // never held together.
        log.bytes.reset();
        log.capacity = 0;
        // Left uninitialised on purpose: only the delivered bytes are ever read.
        log.bytes.reset(new (std::nothrow) uint8_t[capacity == 0 ? 1 : capacity]);
        if (!log.bytes) return LogReadStatus::cannot_allocate;
        log.capacity = capacity;
    }

    std::rewind(file.get());
    log.length = read_gzip_or_plain(file.get(), log.bytes.get(), capacity);
    return LogReadStatus::ok;
}

}  // namespace timbrex
