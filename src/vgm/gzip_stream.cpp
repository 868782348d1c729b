#include "vgm/gzip_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace timbrex {

namespace {

constexpr size_t kChunkBytes = 1 << 16;
constexpr int kGzipOnlyWindowBits = 15 + 16;

// Buffered input from the file, refilled on demand.
struct Input {
    std::FILE* file;
    std::vector<uint8_t> chunk = std::vector<uint8_t>(kChunkBytes);
    size_t begin = 0;
    size_t end = 0;

    size_t available() const { return end - begin; }

    // Makes at least `wanted` bytes available unless the file ends first; the
    // unread rest moves to the front of the chunk.
    bool ensure(size_t wanted) {
        if (available() >= wanted) return true;
        std::copy(chunk.begin() + static_cast<std::ptrdiff_t>(begin), chunk.begin() + static_cast<std::ptrdiff_t>(end),
                  chunk.begin());
        end -= begin;
        begin = 0;
        while (end < wanted) {
            const size_t got = std::fread(chunk.data() + end, 1, chunk.size() - end, file);
            if (got == 0) break;
            end += got;
        }
        return available() >= wanted;
    }

    bool starts_gzip_member() { return ensure(2) && chunk[begin] == 0x1F && chunk[begin + 1] == 0x8B; }
};

// Inflates gzip members while they follow one another.
size_t inflate_members(Input& in, uint8_t* dest, size_t limit) {
    z_stream stream{};
    if (inflateInit2(&stream, kGzipOnlyWindowBits) != Z_OK) return 0;
    size_t produced = 0;
    while (produced < limit) {
        if (!in.ensure(1)) break;  // truncated: keep what was decoded
        stream.next_in = in.chunk.data() + in.begin;
        stream.avail_in = static_cast<uInt>(in.end - in.begin);
        // avail_out is 32 bits wide; large outputs are filled in steps.
        const size_t room = limit - produced;
        stream.next_out = dest + produced;
        stream.avail_out = static_cast<uInt>(room < 0x40000000u ? room : 0x40000000u);
        const uInt offered_out = stream.avail_out;
        const int result = inflate(&stream, Z_NO_FLUSH);
        produced += offered_out - stream.avail_out;
        in.begin = in.end - stream.avail_in;
        if (result == Z_STREAM_END) {
            // Another member only if the next bytes carry the gzip magic.
            if (!in.starts_gzip_member()) break;
            inflateReset(&stream);
            continue;
        }
        if (result != Z_OK) break;  // data error (bad CRC, bad length, corrupt) or no progress
    }
    inflateEnd(&stream);
    return produced;
}

size_t copy_plain(Input& in, uint8_t* dest, size_t limit) {
    size_t produced = 0;
    while (produced < limit && in.ensure(1)) {
        const size_t available = in.end - in.begin;
        const size_t take = available < limit - produced ? available : limit - produced;
        std::copy(in.chunk.data() + in.begin, in.chunk.data() + in.begin + take, dest + produced);
        in.begin += take;
        produced += take;
    }
    return produced;
}

}  // namespace

size_t read_gzip_or_plain(std::FILE* file, uint8_t* dest, size_t limit) {
    Input in{file};
    if (limit == 0) return 0;
    if (in.starts_gzip_member()) {
        return inflate_members(in, dest, limit);
    }
    return copy_plain(in, dest, limit);
}

}  // namespace timbrex
