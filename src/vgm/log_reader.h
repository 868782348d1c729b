#pragma once
// Loading one log file, plain or gzip-compressed, into memory whole.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace timbrex {

enum class LogReadStatus { ok, cannot_open, cannot_allocate };

struct LogBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;    // bytes actually delivered, never more than announced
    size_t capacity = 0;  // bytes allocated; a later read reuses them when they suffice
};

// The announced size of a file whose first bytes are `head` (head_length of
// them) and whose last four bytes are `tail`: a plain log's file length, else
// the gzip trailer's uncompressed length. Negative means it cannot be held.
int64_t announced_size(const uint8_t* head, size_t head_length, long long file_length, uint32_t tail);

// Reads the whole uncompressed log. Memory follows the data present: a trailer
// that claims more than the file can hold does not reserve the claim. A buffer
// left by an earlier read is reused when it is large enough, so that a run
// over many files holds one buffer the size of the largest log rather than a
// heap fragmented by buffers of every size.
LogReadStatus read_log(const std::string& path, LogBuffer& log);

}  // namespace timbrex
