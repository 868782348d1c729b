#pragma once
// The OPM text bank of YM2151 tools: one "@:n name" block of seven lines per
// voice, at most 128 voices to a file.

#include <cstddef>
#include <string>
#include <vector>

#include "output/bank_instrument.h"

namespace timbrex {

// The tool the format comes from numbers a bank's voices 0..127, and one
// synthesizer refuses any higher number.
constexpr size_t kOpmVoicesPerFile = 128;
constexpr size_t kOpmNameBytes = 31;

// The banks for `instruments`: instruments 128k .. 128k + 127 go to text k,
// numbered from 0 in each; at least one text, which for no instruments holds
// the header alone. CR LF line ends. A name cut to nothing, or empty, is
// replaced by the voice's number.
std::vector<std::string> opm_bank_texts(const std::vector<BankInstrument>& instruments);

}  // namespace timbrex
