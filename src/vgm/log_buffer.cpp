#include "vgm/log_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace timbrex {

namespace {
constexpr size_t kSmallestGrowth = size_t{1} << 20;
}  // namespace

bool reserve_log_bytes(LogBuffer& log, size_t wanted) {
    if (log.bytes && log.capacity >= wanted) return true;
    if (log.length == 0) {
        // Nothing to keep: the old buffer goes before the new one comes, so
        // that the two are never held together.
        log.bytes.reset();
        log.capacity = 0;
    }
    // Left uninitialised on purpose: only the delivered bytes are ever read.
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[wanted == 0 ? 1 : wanted]);
    if (!grown) return false;
    if (log.length > 0) std::memcpy(grown.get(), log.bytes.get(), log.length);
    log.bytes = std::move(grown);
    log.capacity = wanted;
    return true;
}

size_t next_log_capacity(size_t capacity, size_t limit) {
    if (capacity >= limit) return limit;
    const size_t doubled = capacity > limit / 2 ? limit : 2 * capacity;
    return std::min(limit, std::max(doubled, capacity + kSmallestGrowth));
}

}  // namespace timbrex
