#include "vgm/gzip_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>

#if TIMBREX_WITH_LIBDEFLATE
#include "vgm/whole_members.h"
#endif

namespace timbrex {

namespace {

constexpr int kGzipOnlyWindowBits = 15 + 16;
// zlib counts input and output in 32 bits; larger spans go in steps.
constexpr size_t kLargestStep = size_t{1} << 30;

}  // namespace

bool starts_gzip_member(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 0x1F && data[1] == 0x8B; }

bool inflate_members_streaming(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit) {
    z_stream stream{};
    if (inflateInit2(&stream, kGzipOnlyWindowBits) != Z_OK) return false;
    bool room = true;
    size_t consumed = 0;
    while (log.length < limit) {
        const size_t usable = std::min(log.capacity, limit);
        if (log.length == usable && !reserve_log_bytes(log, next_log_capacity(usable, limit))) {
            room = false;
            break;
        }
        const size_t offered_in = std::min(in_size - consumed, kLargestStep);
        const size_t offered_out = std::min(std::min(log.capacity, limit) - log.length, kLargestStep);
        stream.next_in = const_cast<Bytef*>(in + consumed);
        stream.avail_in = static_cast<uInt>(offered_in);
        stream.next_out = log.bytes.get() + log.length;
        stream.avail_out = static_cast<uInt>(offered_out);
        // With the input used up, a call still delivers what a long match left
        // pending when the output was full; with nothing pending it reports
        // Z_BUF_ERROR: the member is truncated there.
        const int result = inflate(&stream, Z_NO_FLUSH);
        consumed += offered_in - stream.avail_in;
        log.length += offered_out - stream.avail_out;
        if (result == Z_STREAM_END) {
            // Another member only if the next bytes carry the gzip magic.
            if (!starts_gzip_member(in + consumed, in_size - consumed)) break;
            inflateReset(&stream);
            continue;
        }
        if (result == Z_DATA_ERROR) log.failed_check = true;  // bad CRC, bad length, corrupt data
        if (result != Z_OK) break;                            // or else truncated
    }
    inflateEnd(&stream);
    return room;
}

bool inflate_gzip(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit) {
    size_t consumed = 0;
#if TIMBREX_WITH_LIBDEFLATE
    consumed = inflate_whole_members(in, in_size, log, limit);
#endif
    if (log.length >= limit || !starts_gzip_member(in + consumed, in_size - consumed)) return true;
    return inflate_members_streaming(in + consumed, in_size - consumed, log, limit);
}

}  // namespace timbrex
