#pragma once

#include "driver/run_state.h"

namespace timbrex {

// Every file entry of the input list in list order: channel images reset, the
// log loaded, reported and replayed into the run's capture state. With two or
// more `cores` the next file is loaded on a second thread, never more than
// one ahead, while the current one is walked; what is printed and captured is
// the same either way.
void capture_all_files(RunState& run, unsigned cores);

}  // namespace timbrex
