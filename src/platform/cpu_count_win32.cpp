#include "platform/cpu_count.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace timbrex::platform {

unsigned usable_cpu_count() {
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) == 0) return 1;
    unsigned count = 0;
    for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
    return count == 0 ? 1 : count;
}

}  // namespace timbrex::platform
