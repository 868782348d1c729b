#include "platform/large_pages.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace timbrex::platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

bool wants_huge_pages(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    return bytes >= kHugePage;
#else
    static_cast<void>(bytes);
    return false;
#endif
}

}  // namespace

void* allocate_large(std::size_t bytes) {
    if (!wants_huge_pages(bytes)) return ::operator new(bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Whole huge pages only: a block that ended inside one could not use it.
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* block = nullptr;
    if (rounded < bytes || posix_memalign(&block, kHugePage, rounded) != 0) throw std::bad_alloc();
    // Only advice: without huge pages the block works as well, just slower.
    madvise(block, rounded, MADV_HUGEPAGE);
    return block;
#else
    return nullptr;
#endif
}

void release_large(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) return;
    if (wants_huge_pages(bytes)) {
        std::free(block);
    } else {
        ::operator delete(block);
    }
}

}  // namespace timbrex::platform
