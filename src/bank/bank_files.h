#pragma once
// The files a bank is written to, and their saving: all of them whole, or
// none of what this run would have made.

#include <cstdint>
#include <string>
#include <vector>

#include "bank/bank_arguments.h"
#include "output/bank_instrument.h"

namespace timbrex {

struct PlannedFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

struct BankPlan {
    std::vector<PlannedFile> files;
    std::string folder;     // made first if missing (the DMP presets' OUT); empty for the others
    bool too_many = false;  // more instruments than the format holds; no files then
};

// WOPN: one file, OUT. OPM: OUT for the first 128 voices, then OUT with "-2",
// "-3" ... put before its suffix ("bank.opm", "bank-2.opm"). DMP: one
// "<name>.dmp" per instrument in the folder OUT.
BankPlan plan_bank(BankFormat format, const std::string& out, const std::vector<BankInstrument>& instruments);

// Writes every file under a temporary name beside its own, then renames each
// into place, replacing a file of that name. Returns the path that could not
// be written, or "" when all were. On a failure no temporary file is left,
// nor any file or folder this call made; files it already replaced stay
// replaced.
std::string save_bank(const BankPlan& plan);

// `out` with "-<number>" before the suffix of its last component.
std::string numbered_path(const std::string& out, size_t number);

}  // namespace timbrex
