#pragma once
// Inflating complete gzip members in one call each with libdeflate, which is
// faster than zlib's streaming inflater. Built only where libdeflate is found.

#include <cstddef>
#include <cstdint>

#include "vgm/log_buffer.h"

namespace timbrex {

// Inflates the members at `in`, one after another, into `log` after the bytes
// it already holds, as long as each decodes completely, passes its CRC and
// length checks and fits the room left in the buffer below `limit`. Returns
// the input bytes of the members it delivered: the rest (a member it could
// not decode whole, or bytes that begin no member) is the caller's. Nothing
// grows here: a member that does not fit is left to the streaming inflater.
size_t inflate_whole_members(const uint8_t* in, size_t in_size, LogBuffer& log, size_t limit);

}  // namespace timbrex
