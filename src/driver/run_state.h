#pragma once
// Everything one run owns: created by the driver, passed by reference, gone
// at the end of the run.

#include <string>

#include "driver/input_list.h"
#include "driver/provenance.h"
#include "voice/voice_list.h"

namespace timbrex {

struct RunState {
    std::string start_directory;  // where every output file goes
    InputList inputs;
    VoiceList voices;      // the distinct voices of all files, each with the file it was first heard in
    RunHearings hearings;  // where the voices were heard, beside `voices`
};

}  // namespace timbrex
