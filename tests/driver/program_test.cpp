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

TEST(RunHarvest, NoArgumentsPrintTheUsageAndReturnNothing) {
    const testing::TempDir dir;
    const Harvest got = harvest_in(dir.path(), {}, 1);
    EXPECT_EQ(got.out.substr(0, 34), "TIMBREX v1.1 by Quillon, 20.05.12\n");
    EXPECT_TRUE(got.instruments.empty());
}

}  // namespace
}  // namespace timbrex
