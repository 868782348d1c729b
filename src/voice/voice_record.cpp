#include "voice/voice_record.h"

#include <cstring>

namespace timbrex {

namespace {

constexpr int32_t kDetuneTable[8] = {0, 1, 2, 3, 0, -1, -2, -3};
constexpr unsigned kCarrierMasks[8] = {8, 8, 8, 8, 12, 14, 14, 15};

uint64_t rotate_left(uint64_t h, int bits) { return h << bits | h >> (64 - bits); }

uint64_t finish(uint64_t h) {
    // fmix64 from MurmurHash3: spreads every input bit over the low bits that
    // pick a table slot.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

constexpr size_t kValueWords = kVoiceValueBytes / sizeof(uint64_t);
static_assert(kValueWords * sizeof(uint64_t) == kVoiceValueBytes, "the voice values fill whole words");

uint64_t hash_value_words(const int32_t (&values)[kVoiceValueCount]) {
    uint64_t words[kValueWords];
    std::memcpy(words, values, kVoiceValueBytes);
    return hash_words(words, kValueWords);
}

constexpr size_t kOperatorValues = sizeof(FmOperator) / sizeof(int32_t);
constexpr size_t kTlValue = offsetof(FmOperator, TL) / sizeof(int32_t);

bool operators_equal_but_tl(const FmOperator& a, const FmOperator& b) {
    return a.MUL == b.MUL && a.DT == b.DT && a.RS == b.RS && a.AR == b.AR && a.DR == b.DR && a.SR == b.SR &&
           a.RR == b.RR && a.SL == b.SL && a.SSG == b.SSG;
}

}  // namespace

// The words taken in three lanes: for the 42 voice values the chain of
// dependent multiplications is 7 long rather than 21, which is most of the
// cost of a lookup at key-on.
uint64_t hash_words(const uint64_t* words, size_t count) {
    uint64_t a = 0x9E3779B97F4A7C15ull;
    uint64_t b = 0xC2B2AE3D27D4EB4Full;
    uint64_t c = 0x165667B19E3779F9ull;
    for (size_t i = 0; i < count; i += 3) {
        a = rotate_left((a ^ words[i]) * 0xFF51AFD7ED558CCDull, 31);
        b = rotate_left((b ^ words[i + 1]) * 0xC4CEB9FE1A85EC53ull, 29);
        c = rotate_left((c ^ words[i + 2]) * 0x9E3779B97F4A7C15ull, 27);
    }
    return finish(a ^ rotate_left(b, 21) ^ rotate_left(c, 42));
}

int32_t detune_from_code(unsigned code) { return kDetuneTable[code & 7]; }

unsigned code_from_detune(int32_t detune) {
    const int32_t dt = detune < -3 ? -3 : detune > 3 ? 3 : detune;
    return static_cast<unsigned>(dt >= 0 ? dt : 4 - dt);
}

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
    int32_t values[kVoiceValueCount];
    std::memcpy(values, &voice, kVoiceValueBytes);
    return hash_value_words(values);
}

void shape_values(const VoiceRecord& voice, int32_t (&values)[kVoiceValueCount]) {
    std::memcpy(values, &voice, kVoiceValueBytes);
    // Carriers' levels are what voices_equal ignores: one fixed value stands for all.
    const unsigned carriers = carrier_mask(voice.ALG);
    for (size_t k = 0; k < kSlotCount; ++k) {
        if (carriers & (1u << k)) values[k * kOperatorValues + kTlValue] = 0;
    }
}

}  // namespace timbrex
