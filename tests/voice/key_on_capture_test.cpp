#include "voice/key_on_capture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "vgm_writer.h"
#include "voice/opm_registers.h"
#include "voice/opn_registers.h"

namespace timbrex {
namespace {

using testing::sample_voice;

class Capture : public ::testing::Test {
   protected:
    void set_image(int channel, const VoiceRecord& voice) { state.images.current[channel] = voice; }
    size_t count() const { return state.voices.records.size(); }
    const VoiceRecord& voice_at(size_t i) const { return state.voices.records[i]; }

    FileCapture state;
};

TEST_F(Capture, FirstKeyOnOfAChannelCapturesItsImage) {
    const VoiceRecord voice = sample_voice(1, 4, 5);
    set_image(2, voice);
    capture_key_on_ym2612(state, 0xF2);
    ASSERT_EQ(count(), 1u);
    EXPECT_TRUE(same_voice_values(voice_at(0), voice));
    EXPECT_EQ(voice_at(0).group, 0) << "the image's 0 until grouping";
    EXPECT_EQ(voice_at(0).file_index, 0) << "stamped only when the run merges the file";
}

TEST_F(Capture, RepeatedKeyOnWithoutChangeCapturesOnce) {
    set_image(0, sample_voice(1, 4));
    capture_key_on_ym2612(state, 0xF0);
    capture_key_on_ym2612(state, 0x00);  // key-off leaves the snapshot alone
    capture_key_on_ym2612(state, 0xF0);
    EXPECT_EQ(count(), 1u);
}

TEST_F(Capture, ChangeAndChangeBackCountsAsUnchanged) {
    const VoiceRecord voice = sample_voice(2, 1);
    set_image(1, voice);
    capture_key_on_ym2612(state, 0xF1);
    state.images.current[1].slot[0].MUL ^= 3;
    state.images.current[1].slot[0].MUL ^= 3;
    capture_key_on_ym2612(state, 0xF1);
    EXPECT_EQ(count(), 1u);
    // A real change of the same channel is a new voice.
    state.images.current[1].slot[0].MUL ^= 3;
    capture_key_on_ym2612(state, 0xF1);
    EXPECT_EQ(count(), 2u);
}

TEST_F(Capture, KnownVoiceOnAnotherChannelIsNotAppendedAgain) {
    const VoiceRecord voice = sample_voice(4, 7);
    set_image(0, voice);
    set_image(4, voice);
    capture_key_on_ym2612(state, 0xF0);
    capture_key_on_ym2612(state, 0xF5);
    EXPECT_EQ(count(), 1u);
    // The lookup is exact: another carrier level is another record.
    state.images.current[4].slot[3].TL = voice.slot[3].TL + 1;
    capture_key_on_ym2612(state, 0xF5);
    EXPECT_EQ(count(), 2u);
}

TEST_F(Capture, Ym2612ChannelCodesIncludingUnusedOnes) {
    // Codes 0-2 -> 0-2, 3 -> 3, 4-6 -> 3-5, 7 -> 6.
    const int expected[8] = {0, 1, 2, 3, 3, 4, 5, 6};
    for (unsigned code = 0; code < 8; ++code) {
        FileCapture fresh;
        for (int ch = 0; ch < kChannelCount; ++ch)
            fresh.images.current[ch] = sample_voice(100 + static_cast<uint32_t>(ch), 7);
        capture_key_on_ym2612(fresh, static_cast<uint8_t>(0x10 | code));
        ASSERT_EQ(fresh.voices.records.size(), 1u) << "code " << code;
        EXPECT_TRUE(
            same_voice_values(fresh.voices.records[0], sample_voice(100 + static_cast<uint32_t>(expected[code]), 7)))
            << "code " << code;
    }
}

TEST_F(Capture, CodeSevenHitsAChannelYm2612NeverFills) {
    ym2612_write(state, 0, 0x40, 0x10);
    capture_key_on_ym2612(state, 0xF7);
    EXPECT_EQ(count(), 0u) << "channel index 6 stays at the silent reset image";
    const VoiceRecord zero{};
    EXPECT_EQ(std::memcmp(&state.images.snapshot[6], &zero, sizeof zero), 0) << "the snapshot still takes the image";
}

TEST_F(Capture, KeyOffValuesCaptureNothing) {
    set_image(5, sample_voice(1, 2));
    set_image(0, sample_voice(2, 2));
    capture_key_on_ym2612(state, 0x06);
    capture_key_on_ym2612(state, 0x00);
    capture_key_on_ym2151(state, 0x05);
    capture_key_on_ym2151(state, 0x80) /* bit 7 is no operator */;
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(state.images.snapshot[5].ALG, -1) << "key-off never touches the snapshot";
}

TEST_F(Capture, DacModeHidesChannelFiveKeyOnsAndKeepsItsSnapshot) {
    const VoiceRecord before = sample_voice(1, 3);
    set_image(5, before);
    capture_key_on_ym2612(state, 0xF6);
    ASSERT_EQ(count(), 1u);

    ym2612_write(state, 0, 0x2B, 0x80);
    ASSERT_TRUE(state.dac_mode);
    set_image(5, sample_voice(2, 3));
    capture_key_on_ym2612(state, 0xF6);
    EXPECT_EQ(count(), 1u) << "channel 5 plays samples";
    capture_key_on_ym2612(state, 0xF5);
    EXPECT_EQ(count(), 1u) << "channel 4's image is the silent reset image";

    // The flag concerns YM2612 key-ons only: a YM2151 key-on of channel 5
    // captures the shared slot's image.
    capture_key_on_ym2151(state, 0x7D);
    ASSERT_EQ(count(), 2u);
    EXPECT_TRUE(same_voice_values(voice_at(1), sample_voice(2, 3)));

    // Back to FM: key-ons of channel 5 are handled again.
    ym2612_write(state, 0, 0x2B, 0x00);
    set_image(5, sample_voice(4, 3));
    capture_key_on_ym2612(state, 0xF6);
    EXPECT_EQ(count(), 3u);
}

TEST_F(Capture, DacModeSnapshotSurvivesUntilFmReturns) {
    set_image(5, sample_voice(1, 3));
    capture_key_on_ym2612(state, 0xF6);
    state.dac_mode = true;
    state.images.current[5].slot[1].MUL ^= 1;  // changed while samples play
    capture_key_on_ym2612(state, 0xF6);
    state.images.current[5].slot[1].MUL ^= 1;  // and back before FM returns
    state.dac_mode = false;
    capture_key_on_ym2612(state, 0xF6);
    EXPECT_EQ(count(), 1u) << "the ignored key-on left the snapshot as it was";
    state.images.current[5].slot[1].MUL ^= 1;
    capture_key_on_ym2612(state, 0xF6);
    EXPECT_EQ(count(), 2u);
}

TEST_F(Capture, SilentVoicesAreNeverAppendedButUpdateTheSnapshot) {
    VoiceRecord no_attack = sample_voice(5, 7);
    for (FmOperator& op : no_attack.slot) op.AR = 0;
    set_image(0, no_attack);
    capture_key_on_ym2612(state, 0xF0);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(std::memcmp(&state.images.snapshot[0], &no_attack, sizeof no_attack), 0);

    VoiceRecord muted = sample_voice(6, 0);
    for (FmOperator& op : muted.slot) op.TL = 127;
    set_image(1, muted);
    capture_key_on_ym2151(state, 0x79);
    EXPECT_EQ(count(), 0u);
}

TEST_F(Capture, FirstKeyOnOfEachFileCountsAsAChange) {
    const VoiceRecord voice = sample_voice(9, 6);
    set_image(0, voice);
    capture_key_on_ym2612(state, 0xF0);
    FileCapture next_file;
    next_file.images.current[0] = voice;
    capture_key_on_ym2612(next_file, 0xF0);
    ASSERT_EQ(next_file.voices.records.size(), 1u) << "a fresh snapshot differs from every image";
    EXPECT_TRUE(same_voice_values(next_file.voices.records[0], voice));
    EXPECT_FALSE(next_file.dac_mode);
}

TEST(VoiceListTest, VoicesWhoseHashesShareTheirLowBitsStayTwoRecords) {
    // Found by search: the low 32 bits of their hashes, which pick the slot
    // and are the tag the index keeps, are the same.
    const VoiceRecord a = sample_voice(107167, 107167 % 8);
    const VoiceRecord b = sample_voice(202046, 202046 % 8);
    ASSERT_EQ(static_cast<uint32_t>(hash_voice_values(a)), static_cast<uint32_t>(hash_voice_values(b)))
        << "the voice hash changed: find another pair";
    ASSERT_FALSE(same_voice_values(a, b));
    VoiceList list;
    EXPECT_TRUE(append_if_new(list, a));
    EXPECT_TRUE(append_if_new(list, b));
    EXPECT_FALSE(append_if_new(list, b));
    EXPECT_EQ(list.records.size(), 2u);
    EXPECT_EQ(find_voice(list, a), 0);
    EXPECT_EQ(find_voice(list, b), 1);
}

TEST(VoiceListTest, GrowthKeepsPositionsAndLookupMatchesAScan) {
    VoiceList list;
    std::vector<VoiceRecord> voices;
    for (uint32_t i = 0; i < 1000; ++i)
        voices.push_back(testing::sample_voice(i, static_cast<int32_t>(i % 8), static_cast<int32_t>(i % 3)));
    for (size_t i = 0; i < voices.size(); ++i) {
        const bool listed = find_voice(list, voices[i]) >= 0;
        voices[i].file_index = static_cast<int32_t>(i);
        EXPECT_EQ(append_if_new(list, voices[i]), !listed) << "voice " << i;
        // Offered again, it is found and not appended.
        EXPECT_FALSE(append_if_new(list, voices[i])) << "voice " << i;
    }
    for (size_t i = 0; i < voices.size(); ++i) {
        int32_t scanned = -1;
        for (size_t j = 0; j < list.records.size() && scanned < 0; ++j) {
            if (same_voice_values(list.records[j], voices[i])) scanned = static_cast<int32_t>(j);
        }
        ASSERT_GE(scanned, 0);
        EXPECT_EQ(find_voice(list, voices[i]), scanned);
    }
    // The 17th and later appends grew the list without moving earlier records.
    ASSERT_GT(list.records.size(), 16u);
    EXPECT_TRUE(same_voice_values(list.records[0], voices[0]));
    EXPECT_EQ(list.records[16].file_index, 16) << "the copy keeps the bookkeeping values";
    // A new voice appended to a full list moves it; a listed one offered
    // from the list itself is found and leaves it as it was.
    list.records.shrink_to_fit();
    const size_t listed = list.records.size();
    EXPECT_FALSE(append_if_new(list, list.records[5]));
    ASSERT_EQ(list.records.size(), listed);
    VoiceRecord unknown = voices[0];
    unknown.slot[0].SSG = 9;
    EXPECT_EQ(find_voice(list, unknown), -1);
    unknown.file_index = 99;
    EXPECT_TRUE(append_if_new(list, unknown));
    EXPECT_EQ(list.records.back().file_index, 99);
    EXPECT_EQ(find_voice(list, unknown), static_cast<int32_t>(listed));
    EXPECT_EQ(find_voice(list, voices[5]), 5);
}

}  // namespace
}  // namespace timbrex
