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

// Position of the record selection left in each group, or -1 where none is.
std::vector<int64_t> kept_records(const std::vector<VoiceRecord>& records, int32_t group_count);

// Saves the record left in each group into `directory`, named with the prefix
// of the file it came from (prefixes[file_index]), in group order; the
// outcome of group g is at [g].
std::vector<SaveOutcome> save_outputs(const std::vector<VoiceRecord>& records, int32_t group_count,
                                      const std::string& directory, const std::vector<std::string>& prefixes);

}  // namespace timbrex
