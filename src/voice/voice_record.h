#pragma once
// The four-operator FM voice as both chips describe it, and the notions the
// rest of the program derives from it: carriers, loudness, equality, silence.

#include <cstddef>
#include <cstdint>

namespace timbrex {

// One operator, ten values in this order; every value is a plain register field
// except DT, which holds the signed detune (-3..+3).
struct FmOperator {
    int32_t MUL;  // 0..15 frequency multiple
    int32_t DT;   // -3..+3 detune
    int32_t TL;   // 0..127 total level (attenuation, 127 is silent)
    int32_t RS;   // 0..3 rate scaling (key scale)
    int32_t AR;   // 0..31 attack rate
    int32_t DR;   // 0..31 first decay rate
    int32_t SR;   // 0..31 second decay (sustain) rate
    int32_t RR;   // 0..15 release rate
    int32_t SL;   // 0..15 sustain level
    int32_t SSG;  // 0..15 SSG-EG mode (YM2612 only)
};

constexpr int kSlotCount = 4;

// 44 values: four operators in register slot order (slots 0, 1, 2, 3 are the
// chips' operators 1, 3, 2, 4), ALG, FB, then two bookkeeping values. The first
// 42 are the voice values and are compared as one block.
struct VoiceRecord {
    FmOperator slot[kSlotCount];
    int32_t ALG;         // 0..7 algorithm (connection)
    int32_t FB;          // 0..7 feedback of slot 0
    int32_t group;       // group number, -1 for none; set by grouping
    int32_t file_index;  // input list position of the file the voice came from
};

constexpr int kVoiceValueCount = 42;
constexpr std::size_t kVoiceValueBytes = kVoiceValueCount * sizeof(int32_t);
static_assert(sizeof(FmOperator) == 10 * sizeof(int32_t), "an operator is ten packed values");
static_assert(sizeof(VoiceRecord) == 44 * sizeof(int32_t), "a record is 44 packed values");
static_assert(offsetof(VoiceRecord, group) == kVoiceValueBytes, "bookkeeping follows the voice values");

// The chip's 3-bit detune code: bit 2 is the sign, code 4 is minus zero.
int32_t detune_from_code(unsigned code);

// The code the chip stores for a detune: DT for 0..3, 4 - DT for -1..-3, never
// code 4 (minus zero). A detune beyond +-3 is taken as the nearest the chip has.
unsigned code_from_detune(int32_t detune);

// Bit k set when slot k is a carrier under the algorithm (ALG & 7).
unsigned carrier_mask(int32_t alg);

// Sum over the carriers of (127 - TL): 0 when every carrier is at TL 127, at most 508.
int32_t loudness(const VoiceRecord& voice);

// Equal in everything but the carriers' TL; bookkeeping values are ignored.
bool voices_equal(const VoiceRecord& a, const VoiceRecord& b);

// Equal in all 42 voice values, carrier levels included.
bool same_voice_values(const VoiceRecord& a, const VoiceRecord& b);

// No operator ever starts (all AR 0) or every operator is fully attenuated.
bool is_silent(const VoiceRecord& voice);

// Hash of `count` words, a multiple of 3.
uint64_t hash_words(const uint64_t* words, std::size_t count);

// The 42 voice values with every carrier's TL as 0: the same for two records
// exactly when voices_equal holds.
void shape_values(const VoiceRecord& voice, int32_t (&values)[kVoiceValueCount]);

// Hash of the 42 voice values, consistent with same_voice_values.
uint64_t hash_voice_values(const VoiceRecord& voice);

}  // namespace timbrex
