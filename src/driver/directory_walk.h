#pragma once
// Collecting every VGM file of a directory tree, breadth-first, into the
// input list, which doubles as the queue of directories still to scan.

#include <string>

#include "driver/input_list.h"
#include "platform/filesystem.h"

namespace timbrex {

// `argument` ends in "*"; the root is the argument without it ("music/*" gives
// "music/", "*" gives the start directory). False on the fatal case, a
// directory that was entered but cannot be listed; the message is printed.
bool walk_directories(InputList& list, const std::string& argument);

// Passes one listed entry of `directory` (an absolute path) to add_input.
// Returns true when it skipped the entry, false when it passed it on.
bool scan_entry(InputList& list, const std::string& directory, const platform::DirectoryEntry& entry);

}  // namespace timbrex
