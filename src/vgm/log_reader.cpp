#include "vgm/log_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
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

// Real logs inflate up to about 17-fold; up to this ratio, and for any log of
// a megabyte or less, the trailer's claim is taken at its word.
constexpr uint64_t kTrustedRatio = 32;
constexpr uint64_t kTrustedSlack = uint64_t{1} << 20;

constexpr uint8_t kVgmIdentifier[4] = {'V', 'g', 'm', ' '};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

uint32_t read_trailer(std::FILE* file, long long file_length) {
    uint8_t tail[4] = {0, 0, 0, 0};
    if (file_length < 4 || std::fseek(file, -4, SEEK_END) != 0 || std::fread(tail, 1, 4, file) != 4) return 0;
    return read_le32(tail, 0);
}

// A plain log, or data that is neither a log nor gzip: copied as it is, no
// more than the file holds.
LogReadStatus read_plain(std::FILE* file, uint64_t announced, uint64_t file_length, LogBuffer& log) {
    const auto capacity = static_cast<size_t>(std::min(announced, file_length));
    if (!reserve_log_bytes(log, capacity)) return LogReadStatus::cannot_allocate;
    log.length = capacity == 0 ? 0 : std::fread(log.bytes.get(), 1, capacity, file);
    return LogReadStatus::ok;
}

// The compressed file is held whole while it inflates, so that complete
// members can be inflated in one call each.
LogReadStatus read_gzip(std::FILE* file, uint64_t announced, uint64_t file_length, LogBuffer& log) {
    const auto file_bytes = static_cast<size_t>(file_length);
    const std::unique_ptr<uint8_t[]> compressed(new (std::nothrow) uint8_t[file_bytes == 0 ? 1 : file_bytes]);
    if (!compressed) return LogReadStatus::cannot_allocate;
    const size_t got = std::fread(compressed.get(), 1, file_bytes, file);
    return inflate_log(compressed.get(), got, announced, log) ? LogReadStatus::ok : LogReadStatus::cannot_allocate;
}

}  // namespace

int64_t announced_size(const uint8_t* head, size_t head_length, long long file_length, uint32_t tail) {
    // The size is a signed 32-bit count: 2^31 or more cannot be held.
    const bool plain = head_length >= 4 && std::memcmp(head, kVgmIdentifier, 4) == 0;
    if (plain) return file_length > INT32_MAX ? -1 : file_length;
    return tail > static_cast<uint32_t>(INT32_MAX) ? -1 : static_cast<int64_t>(tail);
}

size_t trusted_capacity(uint64_t announced, uint64_t compressed) {
    return static_cast<size_t>(std::min(announced, compressed * kTrustedRatio + kTrustedSlack));
}

uint64_t most_inflated(uint64_t compressed) { return compressed * kMaxInflateRatio + kInflateSlack; }

bool inflate_log(const uint8_t* compressed, size_t size, uint64_t announced, LogBuffer& log) {
    const auto limit = static_cast<size_t>(std::min(announced, most_inflated(size)));
    return reserve_log_bytes(log, std::min(limit, trusted_capacity(announced, size))) &&
           inflate_gzip(compressed, size, log, limit);
}

LogReadStatus read_log(const std::string& path, LogBuffer& log) {
    log.length = 0;
    log.failed_check = false;
    FileHandle file(platform::open_regular_file(path));
    if (!file) return LogReadStatus::cannot_open;
    const long long file_length = platform::file_size(file.get());
    if (file_length < 0) return LogReadStatus::cannot_open;

    uint8_t head[4] = {0, 0, 0, 0};
    const size_t head_length = std::fread(head, 1, sizeof head, file.get());
    const int64_t size = announced_size(head, head_length, file_length, read_trailer(file.get(), file_length));
    if (size < 0) return LogReadStatus::too_large;

    std::rewind(file.get());
    const auto announced = static_cast<uint64_t>(size);
    const auto length = static_cast<uint64_t>(file_length);
    return starts_gzip_member(head, head_length) ? read_gzip(file.get(), announced, length, log)
                                                 : read_plain(file.get(), announced, length, log);
}

}  // namespace timbrex
