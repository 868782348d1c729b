#include "platform/heap.h"

// Any C library header defines __GLIBC__ when the library is glibc.
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace timbrex::platform {

void share_main_heap_with_threads() {
#if defined(__GLIBC__)
    // The main thread's heap is arena 1: no further arena is made.
    mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace timbrex::platform
