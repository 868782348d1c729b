#pragma once
// The output pass: one voice patch file for each group; which saves failed
// is the caller's to report.

#include <cstdint>
#include <string>
#include <vector>

#include "voice/voice_record.h"

namespace timbrex {

enum class SaveOutcome : uint8_t {
    no_record,  // no record holds the group number
    saved,
    failed,
};

// What the pass did with one group. For no_record the other fields are empty.
struct GroupOutput {
    SaveOutcome outcome = SaveOutcome::no_record;
    VoiceRecord voice{};    // a copy of the record left in the group
    std::string file_name;  // "<prefix><group>.vpf"
    std::string path;       // the directory, the system's separator and the file name
};

// Position of the record selection left in each group, or -1 where none is.
std::vector<int64_t> kept_records(const std::vector<VoiceRecord>& records, int32_t group_count);

// Saves the record left in each group into `directory`, named with the prefix
// of the file it came from (prefixes[file_index]), in group order; what
// became of group g is at [g].
std::vector<GroupOutput> save_outputs(const std::vector<VoiceRecord>& records, int32_t group_count,
                                      const std::string& directory, const std::vector<std::string>& prefixes);

}  // namespace timbrex
