#pragma once
// The piano of examples/demo.vgz as the harvest saves it (demo_0.vpf), the
// voice the listening tests play; demo_piano_test.cpp checks it against a
// run of the program.

#include "output/voice_file.h"

namespace timbrex::testing {

// Per slot: MUL, DT+3, TL, RS, AR, DR, SR, RR, SL, SSG.
constexpr VoiceFileBytes kDemoPiano = {4, 5,                              // ALG, FB
                                       1, 0, 35, 1, 31, 12, 3, 7, 2, 0,   // slot 0 (operator 1)
                                       2, 3, 28, 1, 31, 10, 4, 6, 3, 0,   // slot 1 (operator 3)
                                       1, 6, 12, 0, 31, 8,  2, 7, 2, 0,   // slot 2 (operator 2)
                                       1, 3, 12, 0, 31, 9,  2, 7, 2, 0};  // slot 3 (operator 4)

}  // namespace timbrex::testing
