#pragma once
// The WOPN bank, version 2: the OPN2 bank that bank editors, MIDI synthesizer
// libraries and trackers load, every instrument in it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/bank_instrument.h"

namespace timbrex {

constexpr size_t kWopnProgramsPerBank = 128;
// Bank editors count a file's entries in 16 bits.
constexpr size_t kWopnMaxMelodicBanks = 511;
constexpr size_t kWopnMaxInstruments = kWopnMaxMelodicBanks * kWopnProgramsPerBank;
constexpr size_t kWopnNameBytes = 31;

// Melodic banks needed for `count` instruments: at least one.
size_t wopn_melodic_banks(size_t count);

// The bank file: instrument i is program i mod 128 of melodic bank i div 128,
// which is numbered LSB i div 128 mod 128, MSB i div 16384; one empty
// percussion bank follows. Names are cut to 31 bytes. At most
// kWopnMaxInstruments instruments; beyond that the result is empty.
std::vector<uint8_t> wopn_bank_bytes(const std::vector<BankInstrument>& instruments);

}  // namespace timbrex
