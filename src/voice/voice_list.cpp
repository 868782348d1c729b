#include "voice/voice_list.h"

namespace timbrex {

int32_t find_voice(const VoiceList& list, const VoiceRecord& voice) { return list.index.find(list.records, voice); }

Listing list_voice(VoiceList& list, const VoiceRecord& voice) {
    const uint64_t hash = list.index.hash(voice);
    const int32_t found = list.index.find(list.records, voice, hash);
    if (found >= 0) return {found, false};
    list.records.push_back(voice);
    const auto position = static_cast<int32_t>(list.records.size() - 1);
    list.index.insert_hashed(position, hash);
    return {position, true};
}

bool append_if_new(VoiceList& list, const VoiceRecord& voice) { return list_voice(list, voice).added; }

}  // namespace timbrex
