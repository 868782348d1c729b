#pragma once
// How the C library's heap serves threads: heap_posix.cpp and heap_win32.cpp
// each provide it, and the build picks one.

namespace timbrex::platform {

// Makes threads started from now on allocate from the one heap the main
// thread uses. glibc otherwise gives each new thread a heap of its own whose
// 64 MiB of address space stays reserved after the thread is joined, so that
// under an address-space limit (ulimit -v) the work left to the main thread
// would have less room than a run that never started a thread. Elsewhere the
// threads already share one heap and this does nothing.
void share_main_heap_with_threads();

}  // namespace timbrex::platform
