#include "vgm/command_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;

// Every opcode's length, as the walk must step it.
TEST(CommandLengthsTest, EveryOpcode) {
    for (const bool from160 : {false, true}) {
        const CommandLengths& lengths = command_lengths_for(1, from160 ? 0x60 : 0x51);
        for (int op = 0; op < 256; ++op) {
            int expected;
            if (op <= 0x2F)
                expected = 1;
            else if (op <= 0x3F)
                expected = 2;
            else if (op <= 0x4E)
                expected = from160 ? 3 : 2;
            else if (op <= 0x50)
                expected = 2;
            else if (op <= 0x5F)
                expected = 3;
            else if (op == 0x60)
                expected = 1;
            else if (op == 0x61)
                expected = 3;
            else if (op <= 0x65)
                expected = 1;
            else if (op <= 0x67)
                expected = 0;
            else if (op == 0x68)
                expected = 12;
            else if (op <= 0x8F)
                expected = 1;
            else if (op <= 0x91)
                expected = 5;
            else if (op == 0x92)
                expected = 6;
            else if (op == 0x93)
                expected = 11;
            else if (op == 0x94)
                expected = 2;
            else if (op == 0x95)
                expected = 5;
            else if (op <= 0x9F)
                expected = 1;
            else if (op <= 0xBF)
                expected = 3;
            else if (op <= 0xDF)
                expected = 4;
            else
                expected = 5;
            EXPECT_EQ(lengths[static_cast<size_t>(op)], expected)
                << "opcode 0x" << std::hex << op << " from160 " << from160;
        }
    }
    EXPECT_EQ(&command_lengths_for(2, 0x00), &command_lengths_for(1, 0x60)) << "major above 1";
    EXPECT_EQ(&command_lengths_for(1, 0x59), &command_lengths_for(1, 0x10));
}

// Builds a stream "<filler> 52 28 F0" after a voice set-up on channel 0 and
// reports whether the walk reached the key-on, i.e. stepped the filler exactly.
class Walk : public ::testing::Test {
   protected:
    Bytes voice_setup() const {
        testing::VgmWriter writer(0x150);
        writer.ym2612_voice(0, testing::sample_voice(1, 7));
        return writer.commands();
    }

    // In memory of exactly the stream's size, so that a read past its end
    // trips AddressSanitizer.
    size_t walk(const Bytes& stream, uint32_t minor = 0x50) {
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.empty() ? 1 : stream.size()]);
        std::copy(stream.begin(), stream.end(), exact.get());
        walk_commands(state, exact.get(), 0, stream.size(), command_lengths_for(1, static_cast<uint8_t>(minor)));
        return state.voices.records.size();
    }

    bool reaches_key_on_after(const Bytes& filler, uint32_t minor = 0x50) {
        state = FileCapture{};
        Bytes stream = voice_setup();
        stream.insert(stream.end(), filler.begin(), filler.end());
        stream.insert(stream.end(), {0x52, 0x28, 0xF0});
        return walk(stream, minor) == 1;
    }

    FileCapture state;
};

TEST_F(Walk, StepsEveryCommandByItsLength) {
    // Each filler's operand bytes spell a key-on of channel 1 and a register
    // write; a walk that stepped them wrongly would read them as commands.
    const std::vector<Bytes> fillers = {
        {0x62},
        {0x63},
        {0x70, 0x7F, 0x80, 0x8F},
        {0x4F, 0x52},
        {0x50, 0x52},
        {0x51, 0x52, 0x28},
        {0x61, 0x52, 0x28},
        {0x30, 0x52},
        {0x55, 0x52, 0x28},
        {0xA0, 0x52, 0x28},
        {0xB5, 0x28, 0xF1},
        {0xC0, 0x52, 0x28, 0xF1},
        {0xE0, 0x52, 0x28, 0xF1, 0x00},
        {0xFF, 0x52, 0x28, 0xF1, 0x00},
        {0x68, 0x66, 0x52, 0x28, 0xF1, 0, 0, 0, 0, 0, 0, 0},
        {0x90, 0x52, 0x28, 0xF1, 0x00},
        {0x91, 0x52, 0x28, 0xF1, 0x00},
        {0x92, 0x52, 0x28, 0xF1, 0x00, 0x00},
        {0x93, 0x52, 0x28, 0xF1, 0, 0, 0, 0, 0, 0, 0},
        {0x94, 0x52},
        {0x95, 0x52, 0x28, 0xF1, 0x00},
        {0x67, 0x66, 0x00, 3, 0, 0, 0, 0x52, 0x28, 0xF1},
        {0x67, 0x66, 0x00, 0, 0, 0, 0},
        {0x00, 0x2F, 0x60, 0x64, 0x65, 0x96, 0x9F},
    };
    for (const Bytes& filler : fillers) {
        EXPECT_TRUE(reaches_key_on_after(filler)) << "filler opcode 0x" << std::hex << int(filler[0]);
        // Channel 1 is silent (reset image), so a misread key-on would add nothing;
        // the snapshot shows whether it was handled.
        EXPECT_EQ(state.images.snapshot[1].ALG, -1) << "filler opcode 0x" << std::hex << int(filler[0]);
    }
}

TEST_F(Walk, ReservedRangeTakesTwoOperandsFromVersion160) {
    EXPECT_TRUE(reaches_key_on_after({0x40, 0x52, 0x28}, 0x60));
    EXPECT_TRUE(reaches_key_on_after({0x4E, 0x00}, 0x50));
    EXPECT_FALSE(reaches_key_on_after({0x4E, 0x00}, 0x60)) << "the third byte swallows the key-on's opcode";
}

TEST_F(Walk, EndOfDataStopsTheWalk) {
    Bytes stream = voice_setup();
    stream.push_back(0x66);
    stream.insert(stream.end(), {0x52, 0x28, 0xF0});
    EXPECT_EQ(walk(stream), 0u);
    EXPECT_EQ(walk(Bytes{0x66}), 0u);
}

TEST_F(Walk, StreamWithoutEndStopsAtTheBound) {
    Bytes stream = voice_setup();
    stream.insert(stream.end(), {0x52, 0x28, 0xF0});
    EXPECT_EQ(walk(stream), 1u);
}

TEST_F(Walk, CommandCutByTheBoundIsNotExecuted) {
    Bytes stream = voice_setup();
    stream.insert(stream.end(), {0x52, 0x28, 0xF0});
    // The bound is one byte short of the key-on: the bytes exist in memory but
    // were not part of the log.
    walk_commands(state, stream.data(), 0, stream.size() - 1, command_lengths_for(1, 0x50));
    EXPECT_TRUE(state.voices.records.empty());
}

TEST_F(Walk, DataBlockBeyondTheBoundEndsTheWalk) {
    for (const uint32_t length : {0xFFFFFFFFu, 0x7FFFFFFFu, 4u}) {
        state = FileCapture{};
        Bytes stream = voice_setup();
        stream.insert(stream.end(), {0x67, 0x66, 0x00, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                     static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)});
        stream.insert(stream.end(), {0x52, 0x28, 0xF0});
        EXPECT_EQ(walk(stream), 0u) << "length " << length;
    }
    // A block header cut short ends the walk too.
    EXPECT_EQ(walk(Bytes{0x67, 0x66, 0x00, 0x01}), 0u);
}

TEST_F(Walk, StartAtOrPastTheBoundWalksNothing) {
    Bytes stream = voice_setup();
    stream.insert(stream.end(), {0x52, 0x28, 0xF0});
    walk_commands(state, stream.data(), stream.size(), stream.size(), command_lengths_for(1, 0x50));
    walk_commands(state, stream.data(), UINT64_MAX, stream.size(), command_lengths_for(1, 0x50));
    EXPECT_TRUE(state.voices.records.empty());
}

TEST_F(Walk, HandlersRunInStreamOrder) {
    // The key-on sees the register values written before it, not after.
    Bytes stream = voice_setup();
    stream.insert(stream.end(), {0x52, 0x28, 0xF0, 0x52, 0x40, 0x11});
    ASSERT_EQ(walk(stream), 1u);
    EXPECT_EQ(state.voices.records[0].slot[0].TL, testing::sample_voice(1, 7).slot[0].TL);
    EXPECT_EQ(state.images.current[0].slot[0].TL, 0x11);
}

// Short waits and DAC writes (0x70-0x8F), every value of the range in turn.
Bytes short_run(size_t length) {
    Bytes run;
    for (size_t i = 0; i < length; ++i) run.push_back(static_cast<uint8_t>(0x70 + (i * 7) % 32));
    return run;
}

// Walks a copy of `stream` in memory of exactly its size, so that a read past
// the end trips AddressSanitizer; returns how many voices were captured.
size_t voices_after_walk(const Bytes& stream) {
    std::unique_ptr<uint8_t[]> data(new uint8_t[stream.size() + (stream.empty() ? 1 : 0)]);
    std::copy(stream.begin(), stream.end(), data.get());
    FileCapture state;
    walk_commands(state, data.get(), 0, stream.size(), command_lengths_for(1, 0x50));
    return state.voices.records.size();
}

Bytes channel_0_voice() {
    testing::VgmWriter writer(0x150);
    writer.ym2612_voice(0, testing::sample_voice(1, 7));
    return writer.commands();
}

// Long runs of short commands are where a log with a DAC stream spends its
// bytes; any other opcode inside one, at any offset, must be stepped as itself.
TEST(WalkShortRuns, OtherOpcodeAtEveryOffsetIsSteppedAsItself) {
    struct Case {
        Bytes command;
        size_t voices;
        const char* what;
    };
    const std::vector<Case> cases = {
        {{0x52, 0x28, 0xF0}, 1, "a key-on inside the run is executed"},
        {{0x90, 0x52, 0x28, 0xF0, 0x00}, 0, "0x90, just past the range, keeps its operands"},
        {{0x61, 0x52, 0x28}, 0, "a wait's operands are not read as commands"},
        {{0x66, 0x52, 0x28, 0xF0}, 0, "the end of data ends the walk"},
    };
    for (size_t run_length : {32u, 33u, 47u, 64u, 65u, 96u}) {
        const Bytes run = short_run(run_length);
        for (size_t offset = 0; offset <= run_length; ++offset) {
            for (const Case& c : cases) {
                Bytes stream = channel_0_voice();
                stream.insert(stream.end(), run.begin(), run.begin() + static_cast<std::ptrdiff_t>(offset));
                stream.insert(stream.end(), c.command.begin(), c.command.end());
                stream.insert(stream.end(), run.begin() + static_cast<std::ptrdiff_t>(offset), run.end());
                ASSERT_EQ(voices_after_walk(stream), c.voices)
                    << c.what << ": run of " << run_length << ", offset " << offset;
            }
        }
    }
}

// A run of short commands ends at every distance from the end of the data:
// a key-on after it is executed exactly when all three of its bytes are there.
TEST(WalkShortRuns, RunEndingAtEveryDistanceFromTheEnd) {
    Bytes tail = {0x52, 0x28, 0xF0};
    const Bytes after = short_run(40);
    tail.insert(tail.end(), after.begin(), after.end());
    for (size_t run_length = 0; run_length <= 70; ++run_length) {
        const Bytes run = short_run(run_length);
        for (size_t distance = 0; distance <= tail.size(); ++distance) {
            Bytes stream = channel_0_voice();
            stream.insert(stream.end(), run.begin(), run.end());
            stream.insert(stream.end(), tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(distance));
            ASSERT_EQ(voices_after_walk(stream), distance >= 3 ? 1u : 0u)
                << "run of " << run_length << ", " << distance << " bytes after it";
        }
    }
}

// The time line: the sample at which each key-on captured its voice is the
// sum of the waits before it, whatever commands lie between.
class TimeLine : public ::testing::Test {
   protected:
    // `before` then a fresh voice keyed on on YM2612 channel 1; the time of
    // its capture.
    uint64_t key_on_time_after(const Bytes& before) {
        Bytes stream = before;
        const Bytes voice = channel_0_voice();
        stream.insert(stream.end(), voice.begin(), voice.end());
        stream.insert(stream.end(), {0x52, 0x28, 0xF0, 0x62, 0x63, 0x7F});  // waits after it do not count
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.size()]);
        std::copy(stream.begin(), stream.end(), exact.get());
        FileCapture state;
        walk_commands(state, exact.get(), 0, stream.size(), command_lengths_for(1, 0x50));
        EXPECT_EQ(state.origins.size(), state.voices.records.size());
        if (state.origins.size() != 1) {
            ADD_FAILURE() << "no capture";
            return ~uint64_t{0};
        }
        return state.origins[0].sample;
    }
};

// The reference sum: 0x7n waits n + 1 samples, 0x8n n (after its DAC byte).
uint64_t short_run_wait(const Bytes& run) {
    uint64_t total = 0;
    for (const uint8_t opcode : run) total += opcode < 0x80 ? (opcode & 15u) + 1 : opcode & 15u;
    return total;
}

TEST_F(TimeLine, EveryWaitCommandCountsItsSamples) {
    struct Case {
        Bytes before;
        uint64_t samples;
    };
    const std::vector<Case> cases = {
        {{}, 0},
        {{0x61, 0x34, 0x12}, 0x1234},
        {{0x61, 0xFF, 0xFF, 0x61, 0x00, 0x00}, 65535},
        {{0x62}, 735},
        {{0x63}, 882},
        {{0x70}, 1},
        {{0x7F}, 16},
        {{0x80}, 0},
        {{0x8F}, 15},
        {{0x62, 0x70, 0x81, 0x63, 0x61, 0x10, 0x00}, 735 + 1 + 1 + 882 + 16},
        // No wait: PSG, chip writes, a data block whose bytes spell waits,
        // commands whose operands do.
        {{0x50, 0x62, 0x52, 0xA4, 0x63, 0x54, 0x28, 0x7F, 0x67, 0x66, 0x00, 2, 0, 0, 0, 0x62, 0x63}, 0},
        {{0xE0, 0x62, 0x63, 0x7F, 0x8F, 0x90, 0x62, 0x63, 0x7F, 0x8F, 0xA0, 0x7F, 0x8F}, 0},
        {{0x62, 0x54, 0x08, 0x00, 0x7A}, 735 + 11},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(key_on_time_after(c.before), c.samples) << ::testing::PrintToString(c.before);
    }
}

// Runs of short commands of every length from 0 to 100, each followed by
// another command or the key-on directly, so that runs end at every offset
// of the chunks the walk takes them in.
TEST_F(TimeLine, ShortRunsOfEveryLengthSumTheirWaits) {
    for (size_t length = 0; length <= 100; ++length) {
        for (const uint8_t first : {uint8_t{0x70}, uint8_t{0x85}}) {
            Bytes run;
            for (size_t i = 0; i < length; ++i) run.push_back(static_cast<uint8_t>(0x70 + (first - 0x70 + i * 5) % 32));
            const uint64_t want = short_run_wait(run);
            EXPECT_EQ(key_on_time_after(run), want) << "run of " << length;
            Bytes twice = run;
            twice.push_back(0x62);
            twice.insert(twice.end(), run.begin(), run.end());
            EXPECT_EQ(key_on_time_after(twice), 2 * want + 735) << "runs of " << length << " around a wait";
        }
    }
}

// A run right before the key-on, with the voice set before the run and from
// none to 40 bytes after the key-on: the run's end falls inside a whole chunk
// of 32 bytes or among the last bytes of the data, which are taken one at a
// time, and the waits after the key-on are not its time.
TEST_F(TimeLine, RunRightBeforeAKeyOnAtEveryDistanceFromTheEnd) {
    for (size_t length = 0; length <= 100; ++length) {
        Bytes run;
        for (size_t i = 0; i < length; ++i) run.push_back(static_cast<uint8_t>(0x70 + (i * 11 + length) % 32));
        const uint64_t want = short_run_wait(run);
        for (size_t after = 0; after <= 40; ++after) {
            Bytes stream = channel_0_voice();
            stream.insert(stream.end(), run.begin(), run.end());
            stream.insert(stream.end(), {0x52, 0x28, 0xF0});
            stream.insert(stream.end(), after, 0x7F);
            const std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.size()]);
            std::copy(stream.begin(), stream.end(), exact.get());
            FileCapture state;
            walk_commands(state, exact.get(), 0, stream.size(), command_lengths_for(1, 0x50));
            ASSERT_EQ(state.origins.size(), 1u) << "run of " << length << ", " << after << " bytes after";
            EXPECT_EQ(state.origins[0].sample, want) << "run of " << length << ", " << after << " bytes after";
        }
    }
}

// Each channel of both chips keyed on after its own known wait: the capture
// names the chip and the channel as the chip numbers it.
TEST(CaptureOrigins, ChipChannelAndTimeOfEveryChannel) {
    testing::VgmWriter log(0x150);
    struct Want {
        Chip chip;
        int channel;
        uint64_t sample;
    };
    std::vector<Want> want;
    uint64_t now = 0;
    uint32_t variant = 1;
    for (int channel = 0; channel < 6; ++channel) {
        log.wait(static_cast<uint16_t>(100 + channel)).raw({0x62});
        now += 100 + static_cast<uint64_t>(channel) + 735;
        log.ym2612_voice(channel, testing::sample_voice(variant++, 4)).ym2612_key_on(channel);
        want.push_back({Chip::ym2612, channel + 1, now});
    }
    for (int channel = 0; channel < 8; ++channel) {
        log.raw({0x63, static_cast<uint8_t>(0x70 + channel)});
        now += 882 + static_cast<uint64_t>(channel) + 1;
        log.ym2151_voice(channel, testing::sample_voice(variant++, 7)).ym2151_key_on(channel);
        want.push_back({Chip::ym2151, channel + 1, now});
    }
    const Bytes stream = log.commands();
    FileCapture state;
    walk_commands(state, stream.data(), 0, stream.size(), command_lengths_for(1, 0x50));
    ASSERT_EQ(state.origins.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(state.origins[i].chip, want[i].chip) << i;
        EXPECT_EQ(state.origins[i].channel, want[i].channel) << i;
        EXPECT_EQ(state.origins[i].sample, want[i].sample) << i;
        EXPECT_EQ(state.origins[i].captures, 1u) << i;
    }
}

// A voice keyed on again after its registers changed and changed back is
// captured again: counted, while the origin stays that of its first capture.
// A key-on with nothing changed is no capture.
TEST(CaptureOrigins, LaterCapturesOfAVoiceAreCounted) {
    const VoiceRecord voice = testing::sample_voice(3, 0);
    const VoiceRecord other = testing::sample_voice(4, 0);
    testing::VgmWriter log(0x150);
    log.wait(10).ym2612_voice(1, voice).ym2612_key_on(1);
    log.wait(10).ym2612_key_on(1);  // unchanged: no capture
    log.wait(10).ym2612_voice(1, other).ym2612_key_on(1);
    log.wait(10).ym2612_voice(1, voice).ym2612_key_on(1);
    log.wait(10).ym2612_voice(4, voice).ym2612_key_on(4);
    const Bytes stream = log.commands();
    FileCapture state;
    walk_commands(state, stream.data(), 0, stream.size(), command_lengths_for(1, 0x50));
    ASSERT_EQ(state.origins.size(), 2u);
    EXPECT_EQ(state.origins[0].captures, 3u);
    EXPECT_EQ(state.origins[0].channel, 2);
    EXPECT_EQ(state.origins[0].sample, 10u);
    EXPECT_EQ(state.origins[1].captures, 1u);
    EXPECT_EQ(state.origins[1].sample, 30u);
}

// Random streams of every kind of byte, walked with a bound that equals the
// allocation exactly, so that any read past the bound trips AddressSanitizer.
TEST(WalkRandomStreams, NeverReadOutsideTheData) {
    std::mt19937 random(20120520u);
    for (int round = 0; round < 4000; ++round) {
        const size_t size = random() % 512;
        std::unique_ptr<uint8_t[]> data(new uint8_t[size == 0 ? 1 : size]);
        for (size_t i = 0; i < size; ++i) {
            // Favour the opcodes that take operands.
            const uint32_t pick = random() % 8;
            data[i] = pick == 0   ? 0x67
                      : pick == 1 ? static_cast<uint8_t>(0x52 + random() % 3)
                                  : static_cast<uint8_t>(random());
        }
        FileCapture state;
        const uint64_t start = random() % (size + 2);
        walk_commands(state, data.get(), start, size, command_lengths_for(1, static_cast<uint8_t>(random())));
        // Each captured voice needs its own three-byte key-on command.
        EXPECT_LE(state.voices.records.size() * 3, size);
    }
}

}  // namespace
}  // namespace timbrex
