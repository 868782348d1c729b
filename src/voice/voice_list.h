#pragma once
// The run's list of distinct captured voices. Records are only ever appended
// and keep their positions for the whole run; an index beside the list finds a
// voice without scanning.

#include <cstdint>
#include <vector>

#include "voice/position_table.h"
#include "voice/voice_record.h"

namespace timbrex {

struct VoiceValuesHash {
    uint64_t operator()(const VoiceRecord& voice) const { return hash_voice_values(voice); }
};

struct SameVoiceValues {
    bool operator()(const VoiceRecord& a, const VoiceRecord& b) const { return same_voice_values(a, b); }
};

struct VoiceList {
    std::vector<VoiceRecord> records;
    PositionTable<VoiceRecord, VoiceValuesHash, SameVoiceValues> index;
};

// First position whose 42 voice values equal those of `voice`, or -1.
int32_t find_voice(const VoiceList& list, const VoiceRecord& voice);

struct Listing {
    int32_t position;  // of the voice in the list
    bool added;        // false when an equal voice was listed already
};

// The position of the voice of the same 42 voice values, appending a copy of
// `voice`, bookkeeping values included, when there is none yet.
Listing list_voice(VoiceList& list, const VoiceRecord& voice);

// Appends a copy of `voice`, bookkeeping values included, unless a voice of
// the same 42 voice values is listed already; true when it was appended.
bool append_if_new(VoiceList& list, const VoiceRecord& voice);

}  // namespace timbrex
