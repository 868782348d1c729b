#pragma once
// Little-endian fields in test data, and the gzip trailer's size field.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vgm/log_writer.h"

namespace timbrex::testing {

using Bytes = std::vector<uint8_t>;

// Writes `value` over the four bytes at `at`: the program's own writer.
using ::timbrex::put_le32;

// Appends `value` as four bytes.
inline void append_le32(Bytes& data, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A gzip file whose trailer (CRC-32, then the uncompressed size, in the last
// eight bytes) announces `size` instead: a lying or a 2^31-byte claim.
inline Bytes with_trailer_size(Bytes gzip, uint32_t size) {
    put_le32(gzip, gzip.size() - 4, size);
    return gzip;
}

}  // namespace timbrex::testing
