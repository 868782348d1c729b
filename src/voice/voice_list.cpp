#include "voice/voice_list.h"

namespace timbrex {

int32_t find_voice(const VoiceList& list, const VoiceRecord& voice) { return list.index.find(list.records, voice); }

void append_voice(VoiceList& list, const VoiceRecord& voice, int32_t file_index) {
    list.records.push_back(voice);
    list.records.back().file_index = file_index;
    const auto position = static_cast<int32_t>(list.records.size() - 1);
    // The index keeps the first of equal records, as a scan from the front would find.
    if (list.index.find(list.records, voice) < 0) list.index.insert(list.records, position);
}

bool append_if_new(VoiceList& list, const VoiceRecord& voice, int32_t file_index) {
    const uint64_t hash = list.index.hash(voice);
    if (list.index.find(list.records, voice, hash) >= 0) return false;
    list.records.push_back(voice);
    list.records.back().file_index = file_index;
    list.index.insert_hashed(static_cast<int32_t>(list.records.size() - 1), hash);
    return true;
}

}  // namespace timbrex
