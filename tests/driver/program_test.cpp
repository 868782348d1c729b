// run_harvest, the whole run as a caller that embeds it sees it: what it
// prints, and the instruments it returns in group order with their files,
// sources and save outcomes, on one thread and on several.

#include "driver/program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_lines.h"
#include "host.h"
#include "platform/filesystem.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::VgmWriter;

struct Harvest {
    std::string out;
    std::vector<SavedInstrument> instruments;
};

// Runs in `directory`, where the outputs go, and comes back.
Harvest harvest_in(const std::string& directory, const std::vector<std::string>& arguments, unsigned threads) {
    const std::string before = platform::current_directory().value_or(".");
    EXPECT_TRUE(platform::enter_directory(directory));
    Harvest result;
    ::testing::internal::CaptureStdout();
    result.instruments = run_harvest(arguments, threads);
    result.out = ::testing::internal::GetCapturedStdout();
    platform::enter_directory(before);
    return result;
}

TEST(RunHarvest, ReturnsEachGroupsFileSourceAndOutcome) {
    const testing::TempDir dir;
    const VoiceRecord first = testing::sample_voice(1, 4);
    const VoiceRecord second = testing::sample_voice(2, 7);
    testing::write_file(dir / "one.vgm", VgmWriter(0x150).ym2612_voice(0, first).ym2612_key_on(0).end().bytes());
    testing::write_file(dir / "two.vgz", testing::gzip_member(VgmWriter(0x150)
                                                                  .ym2612_voice(0, first)
                                                                  .ym2612_key_on(0)
                                                                  .ym2151_voice(3, second)
                                                                  .ym2151_key_on(3)
                                                                  .end()
                                                                  .bytes()));
    ASSERT_TRUE(testing::make_directory(dir / "two_1.vpf"));  // the second group's save fails
    const std::string failed = testing::real_path(dir.path()) + platform::kPathSeparator + "two_1.vpf";
    const std::string want_out = testing::processing_line("one.vgm") + "ERR: Can't open file 'missing.vgm'\n" +
                                 testing::processing_line("two.vgz") + testing::instruments_found_line(2) +
                                 "ERR: Can't save file '" + failed + "'\n";
    for (const unsigned threads : {1u, 2u, 8u}) {
        const Harvest got = harvest_in(dir.path(), {"one.vgm", "missing.vgm", "two.vgz"}, threads);
        EXPECT_EQ(got.out, want_out) << threads;
        ASSERT_EQ(got.instruments.size(), 2u) << threads;
        EXPECT_EQ(got.instruments[0].file_name, "one_0.vpf");
        EXPECT_EQ(got.instruments[0].source_path, "one.vgm");
        EXPECT_TRUE(got.instruments[0].saved);
        EXPECT_EQ(got.instruments[1].file_name, "two_1.vpf");
        EXPECT_EQ(got.instruments[1].source_path, "two.vgz");
        EXPECT_FALSE(got.instruments[1].saved);
    }
}

// Where each instrument was heard: the kept (loudest) take's chip, channel,
// log and time, the logs and captures of its whole group, and a mark on the
// instrument whose log failed its check, the same on every thread count.
// None of it changes a printed line.
TEST(RunHarvest, ReturnsWhereEachInstrumentWasHeard) {
    const testing::TempDir dir;
    const VoiceRecord quiet = testing::sample_voice(5, 4, 20);
    const VoiceRecord loud = testing::sample_voice(5, 4, 0);  // the same voice, louder carriers
    const VoiceRecord other = testing::sample_voice(6, 2);
    const VoiceRecord damaged = testing::sample_voice(7, 5);
    // a.vgm: the quiet take on YM2612 channel 2 at sample 100, captured
    // again after a change and back; b.vgz: the loud take on YM2151 channel
    // 6 at 735 + 882 + 7, the quiet one again on YM2612 channel 5 (port 1).
    testing::write_file(dir / "a.vgm", VgmWriter(0x150)
                                           .wait(100)
                                           .ym2612_voice(1, quiet)
                                           .ym2612_key_on(1)
                                           .wait(500)
                                           .ym2612_voice(1, other)
                                           .ym2612_key_on(1)
                                           .ym2612_voice(1, quiet)
                                           .ym2612_key_on(1)
                                           .end()
                                           .bytes());
    testing::write_file(dir / "b.vgz", testing::gzip_member(VgmWriter(0x150)
                                                                .raw({0x62, 0x63, 0x76})
                                                                .ym2151_voice(5, loud)
                                                                .ym2151_key_on(5)
                                                                .wait(40000)
                                                                .ym2612_voice(4, quiet)
                                                                .ym2612_key_on(4)
                                                                .end()
                                                                .bytes()));
    // c.vgz: a member whose CRC is wrong; its data is whole and harvested.
    testing::Bytes c =
        testing::gzip_member(VgmWriter(0x150).wait(2).ym2612_voice(3, damaged).ym2612_key_on(3).end().bytes());
    c[c.size() - 8] ^= 0xFF;
    testing::write_file(dir / "c.vgz", c);

    const std::string want_out = testing::processing_line("a.vgm") + testing::processing_line("b.vgz") +
                                 testing::processing_line("c.vgz") + testing::instruments_found_line(3);
    for (const unsigned threads : {1u, 2u, 8u}) {
        const Harvest got = harvest_in(dir.path(), {"a.vgm", "b.vgz", "c.vgz"}, threads);
        EXPECT_EQ(got.out, want_out) << threads;
        ASSERT_EQ(got.instruments.size(), 3u) << threads;

        const SavedInstrument& first = got.instruments[0];
        EXPECT_EQ(first.file_name, "b_0.vpf") << "the loudest take is saved";
        EXPECT_EQ(first.source_path, "b.vgz");
        EXPECT_EQ(first.origin.chip, Chip::ym2151);
        EXPECT_EQ(first.origin.channel, 6);
        EXPECT_EQ(first.origin.sample, 735u + 882u + 7u);
        EXPECT_EQ(first.origin.logs, 2u);
        EXPECT_EQ(first.origin.captures, 4u) << "two in a.vgm, the loud and the quiet take in b.vgz";
        EXPECT_FALSE(first.origin.failed_check);

        const SavedInstrument& second = got.instruments[1];
        EXPECT_EQ(second.file_name, "a_1.vpf");
        EXPECT_EQ(second.origin.chip, Chip::ym2612);
        EXPECT_EQ(second.origin.channel, 2);
        EXPECT_EQ(second.origin.sample, 600u);
        EXPECT_EQ(second.origin.logs, 1u);
        EXPECT_EQ(second.origin.captures, 1u);

        const SavedInstrument& third = got.instruments[2];
        EXPECT_EQ(third.source_path, "c.vgz");
        EXPECT_EQ(third.origin.channel, 4);
        EXPECT_EQ(third.origin.sample, 2u);
        EXPECT_TRUE(third.origin.failed_check) << threads;
    }
}

// The demo's five instruments: the piano and the brass are each heard at two
// volumes, and the louder take, keyed on second, is the one saved.
TEST(RunHarvest, TheDemoSaysWhereEachInstrumentWasHeard) {
    const testing::TempDir dir;
    const std::string demo = std::string(TIMBREX_SOURCE_DIR) + "/examples/demo.vgz";
    const Harvest got = harvest_in(dir.path(), {demo}, 2);
    struct Want {
        Chip chip;
        int channel;
        uint64_t sample;
        uint64_t captures;
    };
    // Notes last their hold and 2205 samples of rest; 64 DAC bytes wait 480.
    const std::vector<Want> want = {
        {Chip::ym2612, 1, 13230, 2}, {Chip::ym2612, 2, 26460, 1},  {Chip::ym2612, 6, 50715, 1},
        {Chip::ym2151, 3, 88680, 2}, {Chip::ym2151, 8, 101910, 1},
    };
    ASSERT_EQ(got.instruments.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const InstrumentOrigin& origin = got.instruments[i].origin;
        EXPECT_EQ(origin.chip, want[i].chip) << i;
        EXPECT_EQ(origin.channel, want[i].channel) << i;
        EXPECT_EQ(origin.sample, want[i].sample) << i;
        EXPECT_EQ(origin.logs, 1u) << i;
        EXPECT_EQ(origin.captures, want[i].captures) << i;
        EXPECT_FALSE(origin.failed_check) << i;
    }
}

TEST(RunHarvest, NoArgumentsPrintTheUsageAndReturnNothing) {
    const testing::TempDir dir;
    const Harvest got = harvest_in(dir.path(), {}, 1);
    EXPECT_EQ(got.out.substr(0, 34), "TIMBREX v1.1 by Quillon, 20.05.12\n");
    EXPECT_TRUE(got.instruments.empty());
}

}  // namespace
}  // namespace timbrex
