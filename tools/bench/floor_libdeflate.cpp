// The floor with libdeflate instead of zlib: each file is read whole, and
// its gzip members are inflated one after another into the buffer, as gzread
// would deliver them; a plain log is only read.

#include <libdeflate.h>

#include <cstdio>
#include <vector>

#include "floor_run.h"

namespace {

// The rest of an open file from its current position.
std::vector<unsigned char> read_rest(std::FILE* file) {
    std::vector<unsigned char> bytes;
    unsigned char chunk[1 << 16];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    return bytes;
}

// Inflates member after member until the input or the buffer ends or a
// member does not decode.
int64_t inflate_members(libdeflate_decompressor* decompressor, const std::vector<unsigned char>& input,
                        unsigned char* buffer, uint64_t size) {
    size_t in_at = 0;
    uint64_t out_at = 0;
    while (in_at < input.size() && out_at < size) {
        size_t in_used = 0;
        size_t out_used = 0;
        const libdeflate_result result =
            libdeflate_gzip_decompress_ex(decompressor, input.data() + in_at, input.size() - in_at, buffer + out_at,
                                          static_cast<size_t>(size - out_at), &in_used, &out_used);
        if (result != LIBDEFLATE_SUCCESS) break;
        in_at += in_used;
        out_at += out_used;
    }
    return static_cast<int64_t>(out_at);
}

int64_t libdeflate_file(const char* path, unsigned char* buffer, uint64_t size) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    unsigned char magic[2] = {0, 0};
    const bool gzip = std::fread(magic, 1, 2, file) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    int64_t delivered = -1;
    if (!gzip) {
        // A plain log goes straight into the buffer, as gzread reads it.
        if (std::fseek(file, 0, SEEK_SET) == 0) {
            delivered = static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(size), file));
        }
    } else {
        std::vector<unsigned char> input(magic, magic + 2);
        const std::vector<unsigned char> rest = read_rest(file);
        input.insert(input.end(), rest.begin(), rest.end());
        libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
        if (decompressor != nullptr) {
            delivered = inflate_members(decompressor, input, buffer, size);
            libdeflate_free_decompressor(decompressor);
        }
    }
    std::fclose(file);
    return delivered;
}

}  // namespace

int main(int argc, char** argv) { return timbrex::bench::run_floor(argc, argv, "floor_libdeflate", libdeflate_file); }
