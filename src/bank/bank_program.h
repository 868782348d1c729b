#pragma once

namespace timbrex {

// The whole run of timbrex-bank: the arguments, the patches read, the bank
// planned and saved, every line printed. Returns the exit status: 0 when the
// bank was written (or for --help and --version), 1 when a patch could not be
// read or the bank not written, 2 for a usage error.
int run_bank_program(int argc, char** argv);

}  // namespace timbrex
