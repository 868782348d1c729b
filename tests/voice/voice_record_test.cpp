#include "voice/voice_record.h"

#include <gtest/gtest.h>

#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::sample_voice;

TEST(Detune, ChipCodesMapToSignedDetune) {
    const int32_t expected[8] = {0, 1, 2, 3, 0, -1, -2, -3};
    for (unsigned code = 0; code < 8; ++code) EXPECT_EQ(detune_from_code(code), expected[code]) << "code " << code;
}

TEST(Detune, SignedDetuneMapsToTheChipsCodeNeverMinusZero) {
    // -5 .. +5: beyond +-3 the nearest detune the chip has.
    const unsigned expected[11] = {7, 7, 7, 6, 5, 0, 1, 2, 3, 3, 3};
    for (int32_t dt = -5; dt <= 5; ++dt) EXPECT_EQ(code_from_detune(dt), expected[dt + 5]) << "DT " << dt;
    for (unsigned code : {0u, 1u, 2u, 3u, 5u, 6u, 7u}) {
        EXPECT_EQ(code_from_detune(detune_from_code(code)), code) << "code " << code;
    }
}

TEST(CarrierMask, FollowsTheAlgorithmTable) {
    const unsigned expected[8] = {8, 8, 8, 8, 12, 14, 14, 15};
    for (int alg = 0; alg < 8; ++alg) EXPECT_EQ(carrier_mask(alg), expected[alg]) << "ALG " << alg;
    EXPECT_EQ(carrier_mask(8 + 4), 12u) << "only the low three bits choose the algorithm";
}

TEST(Loudness, SumsCarrierHeadroomOnly) {
    VoiceRecord voice{};
    voice.ALG = 4;  // carriers: slots 2 and 3
    voice.slot[0].TL = 10;
    voice.slot[1].TL = 20;
    voice.slot[2].TL = 0;
    voice.slot[3].TL = 27;
    EXPECT_EQ(loudness(voice), 227);
    for (FmOperator& op : voice.slot) op.TL = 127;
    EXPECT_EQ(loudness(voice), 0);
    voice.ALG = 7;
    for (FmOperator& op : voice.slot) op.TL = 0;
    EXPECT_EQ(loudness(voice), 508);
}

// Equality ignores exactly the carriers' TL and the bookkeeping values.
TEST(VoicesEqual, IgnoresOnlyCarrierLevels) {
    for (int alg = 0; alg < 8; ++alg) {
        const VoiceRecord base = sample_voice(7, alg, 10);
        for (int k = 0; k < kSlotCount; ++k) {
            VoiceRecord other = base;
            other.slot[k].TL += 30;
            const bool carrier = (carrier_mask(alg) >> k) & 1;
            EXPECT_EQ(voices_equal(base, other), carrier) << "ALG " << alg << " slot " << k;
            EXPECT_EQ(voices_equal(other, base), carrier);
        }
    }
    VoiceRecord a = sample_voice(3, 7);
    VoiceRecord b = a;
    b.slot[0].TL = a.slot[0].TL + 1;
    EXPECT_TRUE(voices_equal(a, b)) << "ALG 7: slot 0 is a carrier";
    a.ALG = b.ALG = 0;
    EXPECT_FALSE(voices_equal(a, b)) << "ALG 0: slot 0 is a modulator";
}

TEST(VoicesEqual, EveryOtherFieldCounts) {
    const VoiceRecord base = sample_voice(11, 5);
    VoiceRecord other = base;
    other.FB ^= 1;
    EXPECT_FALSE(voices_equal(base, other)) << "FB";
    other = base;
    other.ALG = 6;  // same carriers as 5, still a different voice
    EXPECT_FALSE(voices_equal(base, other)) << "ALG";
    int32_t FmOperator::*fields[] = {&FmOperator::MUL, &FmOperator::DT, &FmOperator::RS,
                                     &FmOperator::AR,  &FmOperator::DR, &FmOperator::SR,
                                     &FmOperator::RR,  &FmOperator::SL, &FmOperator::SSG};
    for (int k = 0; k < kSlotCount; ++k) {
        for (auto field : fields) {
            other = base;
            other.slot[k].*field += 1;
            EXPECT_FALSE(voices_equal(base, other)) << "slot " << k;
        }
    }
    other = base;
    other.group = 9;
    other.file_index = 4;
    EXPECT_TRUE(voices_equal(base, other)) << "bookkeeping is never compared";
    EXPECT_TRUE(same_voice_values(base, other));
    EXPECT_EQ(hash_voice_values(base), hash_voice_values(other));
}

TEST(Silence, AllAttackRatesZeroOrAllLevelsOff) {
    VoiceRecord voice = sample_voice(1, 7, 0);
    EXPECT_FALSE(is_silent(voice));
    VoiceRecord no_attack = voice;
    for (FmOperator& op : no_attack.slot) op.AR = 0;
    EXPECT_TRUE(is_silent(no_attack));
    no_attack.slot[2].AR = 1;
    EXPECT_FALSE(is_silent(no_attack));
    VoiceRecord muted = voice;
    for (FmOperator& op : muted.slot) op.TL = 127;
    EXPECT_TRUE(is_silent(muted));
    muted.slot[0].TL = 126;
    EXPECT_FALSE(is_silent(muted)) << "a modulator below 127 still sounds";
    VoiceRecord zero{};
    EXPECT_TRUE(is_silent(zero)) << "a reset image is silent";
}

}  // namespace
}  // namespace timbrex
