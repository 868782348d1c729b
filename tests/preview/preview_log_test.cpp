// The preview log: the pitch the chip is given for a note, and a log that
// carries the voice's 42 bytes, the note and its timing to a YM2612.

#include "preview/preview_log.h"

#include <gtest/gtest.h>

#include <cmath>

#include "output/voice_file.h"
#include "vgm/bytes.h"
#include "vgm/log_harvest.h"

namespace timbrex::preview {
namespace {

// Fields from their lowest to their highest values, detunes of both signs, SSG-EG on and off.
constexpr VoiceFileBytes kVoice = {
    5,  6,                                  // ALG, FB
    1,  0, 35,  1, 31, 12, 3,  7,  2,  0,   // slot 0: MUL, DT+3, TL, RS, AR, DR, SR, RR, SL, SSG
    15, 6, 28,  2, 30, 10, 4,  6,  3,  8,   // slot 1
    2,  2, 0,   3, 1,  31, 31, 15, 15, 15,  // slot 2
    0,  3, 127, 0, 18, 0,  0,  1,  0,  11,  // slot 3
};

TEST(PreviewPitch, NotesGetTheFrequencyNumberAndBlockOfTheChipClock) {
    struct Case {
        int note;
        uint16_t fnum;
        uint8_t block;
    };
    // fnum = Hz * 144 * 2^20 / 7670453 / 2^(block - 1), in the lowest block where it fits 11 bits.
    for (const Case& c : {Case{69, 1083, 4}, Case{81, 1083, 5}, Case{60, 1288, 3}, Case{0, 322, 0}}) {
        const Ym2612Pitch pitch = ym2612_pitch(note_frequency(c.note));
        EXPECT_EQ(pitch.fnum, c.fnum) << "note " << c.note;
        EXPECT_EQ(pitch.block, c.block) << "note " << c.note;
    }
    EXPECT_DOUBLE_EQ(note_frequency(69), 440.0);
    EXPECT_NEAR(ym2612_frequency(ym2612_pitch(440.0)), 440.126, 0.001);
}

TEST(PreviewPitch, EveryPlayableNoteIsWithinATwentiethOfASemitone) {
    // Up to about 6.6 kHz, the highest the chip plays (fnum 2047, block 7).
    for (int note = 0; note <= 114; ++note) {
        const double hz = note_frequency(note);
        const double played = ym2612_frequency(ym2612_pitch(hz));
        EXPECT_LT(std::abs(1200 * std::log2(played / hz)), 5.0) << "note " << note;
    }
    const Ym2612Pitch top = ym2612_pitch(note_frequency(127));
    EXPECT_EQ(top.fnum, 2047);
    EXPECT_EQ(top.block, 7);
    EXPECT_EQ(ym2612_pitch(0.0).fnum, 1);
}

// The YM2612 writes of the log's command stream, and the waits between them.
struct Event {
    bool is_wait;
    uint8_t reg;
    uint32_t value;  // the register value, or the samples waited
};

std::vector<Event> events_of(const std::vector<uint8_t>& log) {
    std::vector<Event> events;
    for (size_t at = 0x40; at < log.size();) {
        if (log[at] == 0x52) {
            events.push_back({false, log[at + 1], log[at + 2]});
            at += 3;
        } else if (log[at] == 0x61) {
            events.push_back({true, 0, static_cast<uint32_t>(log[at + 1] | log[at + 2] << 8)});
            at += 3;
        } else {
            EXPECT_EQ(log[at], 0x66) << "unexpected command at " << at;
            EXPECT_EQ(at + 1, log.size()) << "bytes after the end command";
            break;
        }
    }
    return events;
}

TEST(PreviewLog, HeaderNamesTheYm2612AndTheLengthOfTheNote) {
    const std::vector<uint8_t> log = preview_log(kVoice, 69, {44100, 22050});
    ASSERT_GT(log.size(), 0x40u);
    EXPECT_EQ(std::string(log.begin(), log.begin() + 4), "Vgm ");
    EXPECT_EQ(read_le32(log.data(), 0x04), log.size() - 4);  // end of file offset
    EXPECT_EQ(read_le32(log.data(), 0x08), 0x150u);
    EXPECT_EQ(read_le32(log.data(), 0x0C), 0u);  // no PSG
    EXPECT_EQ(read_le32(log.data(), 0x18), 66150u);
    EXPECT_EQ(read_le32(log.data(), 0x2C), 7670453u);
    EXPECT_EQ(read_le32(log.data(), 0x34) + 0x34, 0x40u);
    EXPECT_EQ(log.back(), 0x66);
}

TEST(PreviewLog, NoteIsKeyedOnHeldAndReleasedOnChannelOne) {
    // A hold longer than one wait command can say.
    const std::vector<Event> events = events_of(preview_log(kVoice, 69, {100000, 30000}));
    std::vector<size_t> keys;
    for (size_t i = 0; i < events.size(); ++i) {
        if (!events[i].is_wait && events[i].reg == 0x28) keys.push_back(i);
    }
    // Off before the registers change, on with all four operators, off.
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(events[keys[0]].value, 0x00u);
    EXPECT_EQ(events[keys[1]].value, 0xF0u);
    EXPECT_EQ(events[keys[2]].value, 0x00u);
    uint32_t waited_before_on = 0;
    uint32_t held = 0;
    uint32_t tail = 0;
    uint32_t frequency_high = 0;
    uint32_t frequency_low = 0;
    size_t high_at = 0;
    size_t low_at = 0;
    uint32_t stereo = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.is_wait) {
            (i < keys[1] ? waited_before_on : i < keys[2] ? held : tail) += e.value;
            continue;
        }
        if (i > keys[1]) continue;
        if (e.reg == 0xA4) {
            frequency_high = e.value;
            high_at = i;
        }
        if (e.reg == 0xA0) {
            frequency_low = e.value;
            low_at = i;
        }
        if (e.reg == 0xB4) stereo = e.value;
    }
    EXPECT_EQ(waited_before_on, 0u);
    EXPECT_EQ(held, 100000u);
    EXPECT_EQ(tail, 30000u);
    // 1083 in block 4: 0x20 | 0x04, 0x3B.
    EXPECT_LT(high_at, low_at) << "0xA4 latches until 0xA0 is written";
    EXPECT_EQ(frequency_high, 4u << 3 | 1083u >> 8);
    EXPECT_EQ(frequency_low, 1083u & 0xFF);
    EXPECT_EQ(stereo & 0xC0, 0xC0u) << "both outputs on";
}

TEST(PreviewLog, HarvestingThePreviewGivesBackTheVoice) {
    // The harvest's own register decoding reads the log: the voice it captures
    // at the key-on is the file it was made from, byte for byte.
    const std::vector<uint8_t> log = preview_log(kVoice, 60, {});
    const LogHarvest harvest = harvest_log(log.data(), log.size());
    ASSERT_EQ(harvest.status, HarvestStatus::accepted);
    ASSERT_EQ(harvest.voices.size(), 1u);
    EXPECT_EQ(voice_file_bytes(harvest.voices[0]), kVoice);
}

TEST(PreviewLog, FieldsBeyondTheirRangeAreCutToTheRegisterBits) {
    VoiceFileBytes wild{};
    wild.fill(0xFF);
    for (size_t slot = 0; slot < 4; ++slot) wild[2 + 10 * slot + 2] = 0x85;  // TL, else the voice is silent
    const std::vector<uint8_t> log = preview_log(wild, 60, {});
    const LogHarvest harvest = harvest_log(log.data(), log.size());
    ASSERT_EQ(harvest.voices.size(), 1u);
    const VoiceRecord& v = harvest.voices[0];
    EXPECT_EQ(v.ALG, 7);
    EXPECT_EQ(v.FB, 7);
    for (const FmOperator& op : v.slot) {
        EXPECT_EQ(op.MUL, 15);
        EXPECT_EQ(op.DT, 3);  // the largest detune, not a wrapped code
        EXPECT_EQ(op.TL, 5);
        EXPECT_EQ(op.RS, 3);
        EXPECT_EQ(op.AR, 31);
        EXPECT_EQ(op.SSG, 15);
    }
}

TEST(PreviewLog, LongPhasesAreCutToTheLimit) {
    const std::vector<uint8_t> log = preview_log(kVoice, 60, {UINT32_MAX, UINT32_MAX});
    EXPECT_EQ(read_le32(log.data(), 0x18), 2 * kMaxPhaseSamples);
    EXPECT_EQ(preview_samples({UINT32_MAX, 5}), kMaxPhaseSamples + 5);
}

}  // namespace
}  // namespace timbrex::preview
