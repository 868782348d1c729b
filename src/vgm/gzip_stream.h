#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace timbrex {

// Reads `file` from its current position into dest and returns how many bytes
// were delivered, at most `limit`. Data that begins with the gzip magic
// (0x1F 0x8B) is inflated member after member; bytes after a member that do not
// begin another member are ignored. Anything else is copied unchanged. A
// truncated or damaged stream delivers everything decoded before the damage.
size_t read_gzip_or_plain(std::FILE* file, uint8_t* dest, size_t limit);

}  // namespace timbrex
