#pragma once
// The voice patches a bank is made of: the files named, and the .vpf files of
// the folders named, each read whole and named after its file.

#include <string>
#include <vector>

#include "output/bank_instrument.h"

namespace timbrex {

enum class PatchProblem {
    cant_open,    // missing, unreadable, or not a regular file
    not_a_patch,  // not exactly 42 bytes long
    cant_list,    // a folder that cannot be listed
};

struct PatchFailure {
    PatchProblem problem;
    std::string path;
};

struct PatchInputs {
    std::vector<BankInstrument> instruments;  // in argument order, each folder's in byte order of names
    std::vector<PatchFailure> failures;       // every one met, in the same order
};

// For each argument: a folder gives its regular files whose names end in
// ".vpf" (in any case), sorted by name in byte order, its other entries and
// subfolders skipped; anything else is read as one patch. The instrument's
// name is the file's name without a ".vpf" suffix.
PatchInputs read_patch_inputs(const std::vector<std::string>& arguments);

// "Title_Theme_12" for "music/Title_Theme_12.vpf": the name after the last
// separator, without a ".vpf" suffix in any case.
std::string patch_name(const std::string& path);

}  // namespace timbrex
