#pragma once

#include <string>
#include <vector>

#include "driver/provenance.h"

namespace timbrex {

// One instrument of a finished run, in group order.
struct SavedInstrument {
    std::string file_name;    // the output's name in the start directory, e.g. "demo_0.vpf"
    std::string source_path;  // the input log its kept take came from, spelled as its processing line prints it
    bool saved = false;       // false when "ERR: Can't save file" was printed for it
    InstrumentOrigin origin;  // the kept take's chip, channel and time in its log, and where its group was heard
};

// The whole run of run_program for `arguments` (argv without the program name), with `threads`
// workers for the per-file harvest (1 = everything in line on the calling thread). Prints exactly
// what run_program prints; returns the instruments in group order (empty after usage, a fatal
// walk or out of memory).
std::vector<SavedInstrument> run_harvest(const std::vector<std::string>& arguments, unsigned threads);

// The whole run: arguments, inputs, capture, grouping, output, with as many
// workers as the process may use CPUs. The exit status is 0 on every path,
// failures included.
int run_program(int argc, char** argv);

}  // namespace timbrex
