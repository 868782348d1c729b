#pragma once
// Inflating the gzip members of a compressed log held in memory.

#include <cstddef>
#include <cstdint>

#include "vgm/log_buffer.h"

namespace timbrex {

// True if `data` begins with the gzip magic 0x1F 0x8B.
bool starts_gzip_member(const uint8_t* data, size_t size);

// Inflates the members at `in` one after another into `log`, after the bytes
// it already holds, and stops at `limit` bytes, at the end of the input, at
// the first damage (bad data, CRC or length) or at bytes after a member that
// do not begin another: everything decoded before is kept, and damage sets
// the log's failed_check (a member cut short does not: it fails no check). The
// buffer grows as data arrives, never beyond `limit`. False if memory ran out.
bool inflate_gzip(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit);

// The same with zlib's streaming inflater alone. Where whole members are
// inflated by libdeflate, this decodes from the first member libdeflate did not
// decode completely, so that damaged members give exactly zlib's bytes.
bool inflate_members_streaming(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit);

}  // namespace timbrex
