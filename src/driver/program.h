#pragma once

namespace timbrex {

// The whole run: arguments, inputs, capture, grouping, output. The exit status
// is 0 on every path, failures included.
int run_program(int argc, char** argv);

}  // namespace timbrex
