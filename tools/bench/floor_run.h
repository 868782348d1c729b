#pragma once
// What every decompression floor shares: the file loop, the announced size
// learned the way timbrex learns it, one buffer for the run, and the summary.

#include <cstdint>

namespace timbrex::bench {

// Inflates (or copies, for a plain log) the file at `path` into `buffer`,
// which holds `size` bytes; returns how many bytes it delivered, or -1.
using InflateFile = int64_t (*)(const char* path, unsigned char* buffer, uint64_t size);

// Runs `inflate` over argv[1..] in order and prints
// "<name>: N files, B bytes inflated, U unreadable, largest L, check C".
int run_floor(int argc, char** argv, const char* name, InflateFile inflate);

}  // namespace timbrex::bench
