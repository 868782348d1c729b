#pragma once
// Memory for the large tables that lookups read at random. With a million
// voices such a table spans tens of megabytes; in ordinary 4 KiB pages nearly
// every lookup then also misses the TLB and waits for a page-table walk. On
// Linux, blocks of 2 MiB and more are aligned to that size and offered for
// transparent huge pages where the system allows it. Elsewhere, and for
// smaller blocks, this is plain operator new.

#include <cstddef>
#include <new>

namespace timbrex::platform {

void* allocate_large(std::size_t bytes);
void release_large(void* block, std::size_t bytes) noexcept;

template <typename T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocate_large(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept { release_large(block, count * sizeof(T)); }

    template <typename U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const LargePageAllocator<U>&) const noexcept {
        return false;
    }
};

}  // namespace timbrex::platform
