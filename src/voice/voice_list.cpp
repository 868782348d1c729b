#include "voice/voice_list.h"

namespace timbrex {

int32_t find_voice(const VoiceList& list, const VoiceRecord& voice) { return list.index.find(list.records, voice); }

bool append_if_new(VoiceList& list, const VoiceRecord& voice) {
    const uint64_t hash = list.index.hash(voice);
    if (list.index.find(list.records, voice, hash) >= 0) return false;
    list.records.push_back(voice);
    list.index.insert_hashed(static_cast<int32_t>(list.records.size() - 1), hash);
    return true;
}

}  // namespace timbrex
