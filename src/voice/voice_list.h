#pragma once
// The run's list of distinct captured voices. Records are only ever appended
// and keep their positions for the whole run; an index beside the list finds a
// voice without scanning.

#include <cstdint>
#include <vector>

#include "voice/position_table.h"
#include "voice/voice_record.h"

namespace timbrex {

struct VoiceList {
    std::vector<VoiceRecord> records;
    PositionTable<VoiceRecord> index{hash_voice_values, same_voice_values};
};

// First position whose 42 voice values equal those of `voice`, or -1.
int32_t find_voice(const VoiceList& list, const VoiceRecord& voice);

// Appends `voice` with its file index set unless an equal voice is listed
// already; true when it was appended.
bool append_if_new(VoiceList& list, const VoiceRecord& voice, int32_t file_index);

}  // namespace timbrex
