#pragma once
// Loading one log file, plain or gzip-compressed, into memory whole.

#include <cstddef>
#include <cstdint>
#include <string>

#include "vgm/log_buffer.h"

namespace timbrex {

enum class LogReadStatus {
    ok,
    cannot_open,
    too_large,        // announces 2^31 bytes or more, beyond a signed 32-bit size
    cannot_allocate,  // memory ran out for the buffer
};

// The announced size of a file whose first bytes are `head` (head_length of
// them) and whose last four bytes are `tail`: a plain log's file length, else
// the gzip trailer's uncompressed length. Negative means it cannot be held.
int64_t announced_size(const uint8_t* head, size_t head_length, long long file_length, uint32_t tail);

// The buffer a gzip file of `compressed` bytes announcing `announced` gets
// before inflating: the trailer is trusted up to a bounded multiple of the
// compressed size, so that a lying trailer cannot reserve what the file does
// not hold. A log that inflates further grows the buffer as its bytes arrive.
size_t trusted_capacity(uint64_t announced, uint64_t compressed);

// The most bytes `compressed` bytes of gzip members can inflate to.
uint64_t most_inflated(uint64_t compressed);

// Inflates the gzip members of a compressed log held whole (`size` bytes)
// into `log`, no further than `announced` (its size as announced_size gives
// it) and what the data can inflate to, the buffer first reserved as
// trusted_capacity allows. False when memory ran out.
bool inflate_log(const uint8_t* compressed, size_t size, uint64_t announced, LogBuffer& log);

// Reads the whole uncompressed log. Memory follows the data present, reserved
// address space included. A buffer left by an earlier read is reused when it
// is large enough, so that a run over many files holds one buffer the size of
// the largest log rather than a heap fragmented by buffers of every size.
// Keeps no state between calls beyond `log`, and is safe to run on another
// thread than the one that uses the buffer afterwards.
LogReadStatus read_log(const std::string& path, LogBuffer& log);

}  // namespace timbrex
