#pragma once
// The memory one uncompressed log is read into.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace timbrex {

struct LogBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;    // bytes actually delivered, never more than announced
    size_t capacity = 0;  // bytes allocated; a later read reuses them when they suffice
    // The compressed data failed a check of its own: a gzip member's CRC or
    // length, or deflate data that cannot be decoded. The bytes decoded
    // before are delivered all the same; what they hold near the damage is
    // not to be trusted.
    bool failed_check = false;
};

// Makes room for at least `wanted` bytes and keeps the `length` bytes already
// delivered. False if memory ran out; the buffer is then left as it was.
bool reserve_log_bytes(LogBuffer& log, size_t wanted);

// The capacity to grow to when the buffer is full and more bytes may follow:
// geometric, so that a log read in steps is copied a bounded number of times,
// and never beyond `limit`, the most the read can deliver.
size_t next_log_capacity(size_t capacity, size_t limit);

}  // namespace timbrex
