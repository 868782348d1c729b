#pragma once

#include <cstddef>
#include <cstdint>

namespace timbrex {

// Little-endian 16-bit field at data[offset]; the caller has checked that two
// bytes are there.
inline uint32_t read_le16(const uint8_t* data, size_t offset) {
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8;
}

// Little-endian 32-bit field at data[offset]; the caller has checked that four
// bytes are there.
inline uint32_t read_le32(const uint8_t* data, size_t offset) {
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
           static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
}

}  // namespace timbrex
