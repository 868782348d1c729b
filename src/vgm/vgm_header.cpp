#include "vgm/vgm_header.h"

#include <cstring>

#include "vgm/bytes.h"

namespace timbrex {

namespace {
constexpr uint8_t kIdentifier[4] = {'V', 'g', 'm', ' '};
constexpr uint64_t kDataOffsetField = 0x34;
constexpr uint64_t kLegacyDataStart = 0x40;
}  // namespace

bool parse_vgm_header(const uint8_t* data, size_t length, VgmHeader& header) {
    if (length < kMinimumHeaderBytes || std::memcmp(data, kIdentifier, sizeof kIdentifier) != 0) return false;
    header.minor = data[0x08];
    header.major = data[0x09];
    // 64-bit sum: an offset near 2^32 lands beyond any buffer instead of wrapping.
    header.data_start = has_data_offset(header.major, header.minor)
                            ? kDataOffsetField + read_le32(data, kDataOffsetField)
                            : kLegacyDataStart;
    return true;
}

int bcd_to_int(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

bool has_data_offset(uint8_t major, uint8_t minor) { return major > 1 || minor >= 0x32; }

bool has_long_reserved_commands(uint8_t major, uint8_t minor) { return major > 1 || minor >= 0x60; }

}  // namespace timbrex
