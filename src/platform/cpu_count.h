#pragma once
// How many CPUs this process may run on: cpu_count_posix.cpp and
// cpu_count_win32.cpp each provide it, and the build picks one.

namespace timbrex::platform {

// The CPUs in the process's affinity mask, so that `taskset` and a
// container's CPU set are respected; 1 when the system cannot tell.
unsigned usable_cpu_count();

}  // namespace timbrex::platform
