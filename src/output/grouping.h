#pragma once
// Merging voices that differ only in their carriers' levels, and keeping the
// loudest version of each.

#include <cstdint>
#include <vector>

#include "voice/voice_record.h"

namespace timbrex {

// Numbers the classes of equal voices 0, 1, 2, ... in the order in which each
// class's first member stands in the list, and returns how many there are.
int32_t group_voices(std::vector<VoiceRecord>& records);

// Leaves one record in each group: the loudest, the earliest of equally loud
// ones, or the lone member of a group whose loudness is 0. The others get -1.
void select_loudest(std::vector<VoiceRecord>& records, int32_t group_count);

}  // namespace timbrex
