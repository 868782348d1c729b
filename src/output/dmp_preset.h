#pragma once
// The DMP preset, version 11, Genesis FM: one instrument a file, whose name is
// the file's name.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output/bank_instrument.h"

namespace timbrex {

constexpr size_t kDmpPresetBytes = 51;
using DmpPresetBytes = std::array<uint8_t, kDmpPresetBytes>;

// The preset of one voice: operators in slot order, detune as DT + 3 (0..6)
// like the patch file, not the chip's code.
DmpPresetBytes dmp_preset_bytes(const VoiceRecord& voice);

// "<name>.dmp" for each instrument, in order. A name that an earlier one
// already took (letter case aside, as some file systems ignore it) gets "_2",
// "_3" ... so that no preset replaces another.
std::vector<std::string> dmp_file_names(const std::vector<BankInstrument>& instruments);

}  // namespace timbrex
