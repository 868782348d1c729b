#include "floor_run.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace timbrex::bench {

namespace {

// Same rule as timbrex: "Vgm " at the start means plain, so the file length;
// otherwise the last four bytes, little-endian. 0 when the file is unreadable.
uint64_t announced_size(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    unsigned char head[4] = {0, 0, 0, 0};
    unsigned char tail[4] = {0, 0, 0, 0};
    const size_t head_length = std::fread(head, 1, 4, file);
    uint64_t size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long length = std::ftell(file);
        if (head_length == 4 && std::memcmp(head, "Vgm ", 4) == 0) {
            size = length > 0 ? static_cast<uint64_t>(length) : 0;
        } else if (length >= 4 && std::fseek(file, -4, SEEK_END) == 0 && std::fread(tail, 1, 4, file) == 4) {
            size = static_cast<uint64_t>(tail[0]) | static_cast<uint64_t>(tail[1]) << 8 |
                   static_cast<uint64_t>(tail[2]) << 16 | static_cast<uint64_t>(tail[3]) << 24;
        }
    }
    std::fclose(file);
    return size;
}

}  // namespace

int run_floor(int argc, char** argv, const char* name, InflateFile inflate) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", name);
        return 2;
    }
    // One buffer for the whole run, grown when a larger file comes: a harvest
    // needs no more than that.
    std::unique_ptr<unsigned char[]> buffer;
    uint64_t capacity = 0;
    uint64_t total = 0;
    uint64_t largest = 0;
    unsigned checksum = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const uint64_t size = announced_size(argv[i]);
        if (size == 0 || size > INT_MAX) {
            ++failed;
            continue;
        }
        if (size > capacity) {
            buffer.reset(new unsigned char[size]);
            capacity = size;
        }
        const int64_t got = inflate(argv[i], buffer.get(), size);
        if (got <= 0) {
            ++failed;
            continue;
        }
        total += static_cast<uint64_t>(got);
        if (static_cast<uint64_t>(got) > largest) largest = static_cast<uint64_t>(got);
        // One byte per file keeps the reads from being optimised away.
        checksum += buffer[static_cast<size_t>(got) - 1];
    }
    std::printf("%s: %d files, %llu bytes inflated, %d unreadable, largest %llu, check %u\n", name, argc - 1 - failed,
                static_cast<unsigned long long>(total), failed, static_cast<unsigned long long>(largest), checksum);
    return 0;
}

}  // namespace timbrex::bench
