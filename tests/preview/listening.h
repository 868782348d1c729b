#pragma once
// Measurements of rendered audio for the listening tests: pitch by
// autocorrelation, level in dB over short windows.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace timbrex::testing {

// Left and right averaged, as doubles.
std::vector<double> mono(const std::vector<int16_t>& stereo);

// The fundamental frequency of `count` samples from `from`, between 30 Hz and
// 2 kHz: the shortest lag whose autocorrelation comes near the strongest,
// refined over eight periods. 0 when nothing there repeats.
double fundamental_hz(const std::vector<double>& signal, size_t from, size_t count, double rate);

// Root mean square of `count` samples from `from`.
double rms(const std::vector<double>& signal, size_t from, size_t count);

// Seconds after `from` until the level over 10 ms windows first falls `db`
// below its level in the 10 ms before `from`; negative if it never does
// before the end of the signal.
double seconds_to_fall(const std::vector<double>& signal, size_t from, double db, double rate);

}  // namespace timbrex::testing
