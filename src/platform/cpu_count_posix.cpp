#include "platform/cpu_count.h"

// Linux keeps a per-process affinity mask; other POSIX systems, emscripten
// among them (a wasm build without threads), run the harvest on one thread.

#if defined(__linux__)
#include <sched.h>
#endif

namespace timbrex::platform {

unsigned usable_cpu_count() {
#if defined(__linux__)
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
