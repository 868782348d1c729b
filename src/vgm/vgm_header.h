#pragma once
// The few header fields the harvest reads.

#include <cstddef>
#include <cstdint>

namespace timbrex {

struct VgmHeader {
    uint8_t major = 0;  // byte 0x09, BCD
    uint8_t minor = 0;  // byte 0x08, BCD
    uint64_t data_start = 0;
};

// The smallest log that holds every field read: identifier, version, data offset.
constexpr size_t kMinimumHeaderBytes = 0x38;

// False when the data is too short for the header or lacks the "Vgm " identifier.
bool parse_vgm_header(const uint8_t* data, size_t length, VgmHeader& header);

// A BCD byte as the decimal number its digits spell; a digit above 9 still
// counts as its nibble value (0x1A gives 20).
int bcd_to_int(uint8_t value);

// Version 1.50 and later keep a data offset at 0x34; earlier logs start at 0x40.
// The test uses the raw bytes, so it is minor >= 0x32, not the BCD value.
bool has_data_offset(uint8_t major, uint8_t minor);

// Version 1.60 and later give the reserved commands 0x40-0x4E two operand bytes.
bool has_long_reserved_commands(uint8_t major, uint8_t minor);

}  // namespace timbrex
