#include "platform/heap.h"

namespace timbrex::platform {

// The C runtime allocates from the one process heap, whatever thread asks,
// and returns large blocks to the system when they are freed.
void share_main_heap_with_threads() {}

}  // namespace timbrex::platform
