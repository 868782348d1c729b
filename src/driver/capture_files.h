#pragma once

#include "driver/run_state.h"

namespace timbrex {

// Every file entry of the input list, harvested on `threads` workers (1: in
// line), then in list order: the file's line printed and each of its voices
// not yet in the run's list appended with the file's index. What is printed
// and listed does not depend on `threads`. Throws std::bad_alloc, after the
// lines of every earlier file, when a file's harvest ran out of memory.
void capture_all_files(RunState& run, unsigned threads);

}  // namespace timbrex
