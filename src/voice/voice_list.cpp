#include "voice/voice_list.h"

namespace timbrex {

namespace {

// Appends a copy of `voice` with its file index set; returns its position.
int32_t push_record(VoiceList& list, const VoiceRecord& voice, int32_t file_index) {
    list.records.push_back(voice);
    list.records.back().file_index = file_index;
    return static_cast<int32_t>(list.records.size() - 1);
}

}  // namespace

int32_t find_voice(const VoiceList& list, const VoiceRecord& voice) { return list.index.find(list.records, voice); }

bool append_if_new(VoiceList& list, const VoiceRecord& voice, int32_t file_index) {
    const uint64_t hash = list.index.hash(voice);
    if (list.index.find(list.records, voice, hash) >= 0) return false;
    list.index.insert_hashed(push_record(list, voice, file_index), hash);
    return true;
}

}  // namespace timbrex
