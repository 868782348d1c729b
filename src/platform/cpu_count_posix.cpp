#include "platform/cpu_count.h"

// Linux keeps a per-process affinity mask; other POSIX systems, emscripten
// among them (a wasm build without threads), run the harvest on one thread.

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#define TIMBREX_AFFINITY_MASK 1
#include <sched.h>
#else
#define TIMBREX_AFFINITY_MASK 0
#endif

namespace timbrex::platform {

unsigned usable_cpu_count() {
#if TIMBREX_AFFINITY_MASK
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (sched_getaffinity(0, sizeof mask, &mask) == 0) {
        const int count = CPU_COUNT(&mask);
        if (count > 0) return static_cast<unsigned>(count);
    }
#endif
    return 1;
}

}  // namespace timbrex::platform
