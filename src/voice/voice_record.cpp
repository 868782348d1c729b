#include "voice/voice_record.h"

#include <cstring>

namespace timbrex {

namespace {

constexpr int32_t kDetuneTable[8] = {0, 1, 2, 3, 0, -1, -2, -3};
constexpr unsigned kCarrierMasks[8] = {8, 8, 8, 8, 12, 14, 14, 15};

constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;

uint64_t mix(uint64_t h, uint32_t value) {
    h ^= value;
    h *= kHashMultiplier;
    return h ^ (h >> 29);
}

uint64_t finish(uint64_t h) {
    // fmix64 from MurmurHash3: spreads every input bit over the low bits that
    // pick a table slot.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

uint64_t hash_operator(uint64_t h, const FmOperator& op, bool with_tl) {
    h = mix(h, static_cast<uint32_t>(op.MUL));
    h = mix(h, static_cast<uint32_t>(op.DT));
    h = mix(h, with_tl ? static_cast<uint32_t>(op.TL) : 0xFFFFFFFFu);
    h = mix(h, static_cast<uint32_t>(op.RS));
    h = mix(h, static_cast<uint32_t>(op.AR));
    h = mix(h, static_cast<uint32_t>(op.DR));
    h = mix(h, static_cast<uint32_t>(op.SR));
    h = mix(h, static_cast<uint32_t>(op.RR));
    h = mix(h, static_cast<uint32_t>(op.SL));
    return mix(h, static_cast<uint32_t>(op.SSG));
}

bool operators_equal_but_tl(const FmOperator& a, const FmOperator& b) {
    return a.MUL == b.MUL && a.DT == b.DT && a.RS == b.RS && a.AR == b.AR && a.DR == b.DR &&
           a.SR == b.SR && a.RR == b.RR && a.SL == b.SL && a.SSG == b.SSG;
}

}  // namespace

int32_t detune_from_code(unsigned code) { return kDetuneTable[code & 7]; }

unsigned carrier_mask(int32_t alg) { return kCarrierMasks[static_cast<unsigned>(alg) & 7]; }

int32_t loudness(const VoiceRecord& voice) {
    const unsigned carriers = carrier_mask(voice.ALG);
    int32_t sum = 0;
    for (int k = 0; k < kSlotCount; ++k) {
        if (carriers & (1u << k)) sum += 127 - voice.slot[k].TL;
    }
    return sum;
}

bool voices_equal(const VoiceRecord& a, const VoiceRecord& b) {
    if (a.ALG != b.ALG || a.FB != b.FB) return false;
    const unsigned carriers = carrier_mask(a.ALG);
    for (int k = 0; k < kSlotCount; ++k) {
        if (!operators_equal_but_tl(a.slot[k], b.slot[k])) return false;
        if (!(carriers & (1u << k)) && a.slot[k].TL != b.slot[k].TL) return false;
    }
    return true;
}

bool same_voice_values(const VoiceRecord& a, const VoiceRecord& b) {
    return std::memcmp(&a, &b, kVoiceValueBytes) == 0;
}

bool is_silent(const VoiceRecord& voice) {
    bool any_attack = false;
    bool any_audible = false;
    for (const FmOperator& op : voice.slot) {
        any_attack = any_attack || op.AR != 0;
        any_audible = any_audible || op.TL < 127;
    }
    return !any_attack || !any_audible;
}

uint64_t hash_voice_values(const VoiceRecord& voice) {
    uint64_t h = 0;
    for (const FmOperator& op : voice.slot) h = hash_operator(h, op, true);
    h = mix(h, static_cast<uint32_t>(voice.ALG));
    return finish(mix(h, static_cast<uint32_t>(voice.FB)));
}

uint64_t hash_voice_shape(const VoiceRecord& voice) {
    const unsigned carriers = carrier_mask(voice.ALG);
    uint64_t h = 0;
    for (int k = 0; k < kSlotCount; ++k) {
        h = hash_operator(h, voice.slot[k], !(carriers & (1u << k)));
    }
    h = mix(h, static_cast<uint32_t>(voice.ALG));
    return finish(mix(h, static_cast<uint32_t>(voice.FB)));
}

}  // namespace timbrex
