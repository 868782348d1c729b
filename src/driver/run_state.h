#pragma once
// Everything one run owns: created by the driver, passed by reference, gone
// at the end of the run.

#include <string>

#include "driver/input_list.h"
#include "driver/read_ahead.h"
#include "vgm/log_reader.h"
#include "voice/capture_state.h"

namespace timbrex {

struct RunState {
    std::string start_directory;  // where every output file goes
    InputList inputs;
    CaptureState capture;  // voice list, channel images, DAC mode flag
    LogBuffer log;         // the file being walked
    ReadAhead read_ahead;  // the file after it, loading meanwhile
};

}  // namespace timbrex
