#include "vgm/whole_members.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>

#include "vgm/gzip_stream.h"

namespace timbrex {

namespace {

constexpr size_t kFlagsOffset = 3;
constexpr uint8_t kHeaderCrcFlag = 0x02;

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

// libdeflate skips a header CRC (FHCRC) without checking it, zlib refuses a
// wrong one: such members go to zlib, which decides.
bool has_header_crc(const uint8_t* member, size_t size) {
    return size <= kFlagsOffset || (member[kFlagsOffset] & kHeaderCrcFlag) != 0;
}

}  // namespace

size_t inflate_whole_members(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit) {
    const std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) return 0;
    size_t consumed = 0;
    while (log.length < limit && starts_gzip_member(in + consumed, in_size - consumed) &&
           !has_header_crc(in + consumed, in_size - consumed)) {
        const size_t room = std::min(log.capacity, limit) - log.length;
        size_t member_in = 0;
        size_t member_out = 0;
        // On failure the room holds undefined bytes; length does not cover them.
        const libdeflate_result result =
            libdeflate_gzip_decompress_ex(decompressor.get(), in + consumed, in_size - consumed,
                                          log.bytes.get() + log.length, room, &member_in, &member_out);
        if (result != LIBDEFLATE_SUCCESS) break;
        consumed += member_in;
        log.length += member_out;
    }
    return consumed;
}

}  // namespace timbrex
