// The built binary, run in a fresh directory on logs written for each test,
// with its standard output and files compared exactly.

#include <gtest/gtest.h>

#include <algorithm>

#include "expected_lines.h"
#include "host.h"
#include "output/voice_file.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::native;
using testing::run_timbrex;
using testing::sample_voice;
using testing::TempDir;
using testing::VgmWriter;

const std::string kUsage =
    "TIMBREX v1.1 by Quillon, 20.05.12\n"
    "USAGE: timbrex.exe filename.vgm [name2.vgm ..] to process one or few files\n"
    "       timbrex.exe [path\\]* to process whole directory with all subdirectories\n";

using testing::processing_line;
std::string processing(const std::string& path, const std::string& version = "1.50") {
    return processing_line(path, version);
}
std::string found(int n) { return testing::instruments_found_line(n); }

VoiceRecord with_carriers_at(VoiceRecord voice, int32_t tl) {
    for (int k = 0; k < kSlotCount; ++k) {
        if (carrier_mask(voice.ALG) & (1u << k)) voice.slot[k].TL = tl;
    }
    return voice;
}

Bytes file_bytes(const VoiceRecord& voice) {
    const VoiceFileBytes bytes = voice_file_bytes(voice);
    return Bytes(bytes.begin(), bytes.end());
}

class Program : public ::testing::Test {
   protected:
    testing::RunResult run(const std::vector<std::string>& args, const testing::RunLimits& limits = {}) {
        testing::RunResult result = run_timbrex(dir.path(), args, limits);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "") << "nothing goes to standard error";
        return result;
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const std::string& name : testing::files_in(dir.path())) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vpf") == 0) names.push_back(name);
        }
        return names;
    }
    TempDir dir;
};

std::string with_system_line_ends(const std::string& lines) {
    std::string text;
    for (const char c : lines) text += c == '\n' ? std::string(testing::kLineEnd) : std::string(1, c);
    return text;
}

TEST_F(Program, NoArgumentPrintsUsageOnly) {
    const testing::RunResult result = run({});
    EXPECT_EQ(result.out, kUsage);
    EXPECT_EQ(result.raw_out, with_system_line_ends(kUsage)) << "standard output is in the console's text mode";
    EXPECT_TRUE(outputs().empty());
}

// Both chips, a voice at two volumes, a voice repeated on another channel and a
// modulator change: every output's name and bytes.
TEST_F(Program, HarvestsBothChipsIntoPatchFiles) {
    const VoiceRecord lead = with_carriers_at(sample_voice(1, 4), 30);
    const VoiceRecord bass = with_carriers_at(sample_voice(2, 0), 0);
    const VoiceRecord brass = with_carriers_at(sample_voice(3, 5), 20);
    VoiceRecord bass_variant = bass;
    bass_variant.slot[0].TL = (bass.slot[0].TL + 5) % 127;  // a modulator: another instrument
    const Bytes log = VgmWriter(0x150)
                          .ym2612_voice(0, lead)
                          .ym2612_key_on(0)
                          .wait(735)
                          .ym2612_key_off(0)
                          .ym2612_voice(0, with_carriers_at(lead, 5))  // louder: replaces lead
                          .ym2612_key_on(0)
                          .ym2612_voice(4, bass)
                          .ym2612_key_on(4)
                          .ym2612_voice(1, with_carriers_at(lead, 60))  // quieter: dropped
                          .ym2612_key_on(1)
                          .ym2151_voice(6, brass)
                          .ym2151_key_on(6)
                          .ym2151_voice(2, bass_variant)
                          .ym2151_key_on(2)
                          .end()
                          .bytes();
    testing::write_file(dir / "Title Theme.vgm", log);
    EXPECT_EQ(run({"Title Theme.vgm"}).out, processing("Title Theme.vgm") + found(4));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"Title_Theme_0.vpf", "Title_Theme_1.vpf", "Title_Theme_2.vpf",
                                                   "Title_Theme_3.vpf"}));
    EXPECT_EQ(testing::read_file(dir / "Title_Theme_0.vpf"), file_bytes(with_carriers_at(lead, 5)));
    EXPECT_EQ(testing::read_file(dir / "Title_Theme_1.vpf"), file_bytes(bass));
    EXPECT_EQ(testing::read_file(dir / "Title_Theme_2.vpf"), file_bytes(brass));
    EXPECT_EQ(testing::read_file(dir / "Title_Theme_3.vpf"), file_bytes(bass_variant));
}

TEST_F(Program, PlainGzipAndMultiMemberLogsLoadAlike) {
    const VoiceRecord voice = sample_voice(5, 2);
    const Bytes log = VgmWriter(0x161).ym2612_voice(2, voice).ym2612_key_on(2).end().bytes();
    testing::write_file(dir / "plain.vgm", log);
    testing::write_file(dir / "packed.VGZ", testing::gzip_member(log));
    // The same log cut in two members: the reader joins them. Only the last
    // member's trailer tells a size, so it carries as many bytes as the log.
    const Bytes head(log.begin(), log.begin() + 8);
    Bytes tail(log.begin() + 8, log.end());
    tail.insert(tail.end(), 8, 0x66);
    Bytes members = testing::gzip_member(head);
    const Bytes second = testing::gzip_member(tail);
    members.insert(members.end(), second.begin(), second.end());
    testing::write_file(dir / "members.vgz", members);
    EXPECT_EQ(run({"plain.vgm", "packed.VGZ", "members.vgz"}).out, processing("plain.vgm", "1.61") +
                                                                       processing("packed.VGZ", "1.61") +
                                                                       processing("members.vgz", "1.61") + found(1));
    EXPECT_EQ(outputs(), std::vector<std::string>{"plain_0.vpf"}) << "a voice in several files is written once";
}

TEST_F(Program, MemoryFollowsTheDataNotTheClaim) {
    const Bytes log = VgmWriter(0x150).ym2612_voice(0, sample_voice(14, 7)).ym2612_key_on(0).end().bytes();
    Bytes liar = testing::gzip_member(log);
    const uint32_t claimed = 2000000000u;
    for (int i = 0; i < 4; ++i)
        liar[liar.size() - 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(claimed >> (8 * i));
    testing::write_file(dir / "liar.vgz", liar);
    const testing::RunResult result = run({"liar.vgz"});
    EXPECT_EQ(result.out, processing("liar.vgz") + found(1));
    // Far below the 2 GB claimed, with room for a sanitizer's own overhead;
    // and measured at all (on Windows it is sampled while the child runs).
    EXPECT_LT(result.peak_rss_kib, 200 * 1024);
    EXPECT_GT(result.peak_rss_kib, 0);
}

TEST_F(Program, EveryInputFailingStillPrintsTheSummary) {
    ASSERT_TRUE(testing::make_directory(dir / "songs"));
    EXPECT_EQ(run({"nothing.vgm"}).out, "ERR: Can't open file 'nothing.vgm'\n" + found(0));
    EXPECT_EQ(run({"songs"}).out, found(0)) << "a directory without \"*\" is a file name without a VGM suffix";
    EXPECT_EQ(run({""}).out, found(0)) << "an empty argument is no walk request";
    EXPECT_TRUE(outputs().empty());
}

TEST_F(Program, StarInTwoArgumentModeIsDroppedByTheFilter) {
    testing::write_file(dir / "a.vgm", VgmWriter(0x150).ym2612_voice(0, sample_voice(7, 1)).ym2612_key_on(0).bytes());
    testing::write_file(dir / "b.vgm", VgmWriter(0x150).bytes());
    EXPECT_EQ(run({"a.vgm", "*"}).out, processing("a.vgm") + found(1));
}

TEST_F(Program, SameFileTwiceIsProcessedTwice) {
    testing::write_file(dir / "a.vgm", VgmWriter(0x150).ym2612_voice(0, sample_voice(7, 1)).ym2612_key_on(0).bytes());
    EXPECT_EQ(run({"a.vgm", "a.vgm"}).out, processing("a.vgm") + processing("a.vgm") + found(1));
}

TEST_F(Program, FirstFilesPrefixNamesASharedVoice) {
    const VoiceRecord shared = with_carriers_at(sample_voice(8, 6), 40);
    testing::write_file(dir / "one.vgm", VgmWriter(0x150).ym2612_voice(0, shared).ym2612_key_on(0).bytes());
    testing::write_file(dir / "two.vgm", VgmWriter(0x150)
                                             .ym2151_voice(7, sample_voice(9, 3))
                                             .ym2151_key_on(7)
                                             .ym2151_voice(1, with_carriers_at(shared, 2))
                                             .ym2151_key_on(1)
                                             .bytes());
    EXPECT_EQ(run({"one.vgm", "two.vgm"}).out, processing("one.vgm") + processing("two.vgm") + found(2));
    // Group 0 is kept from the second file's louder copy but named after the
    // file where the kept record was captured.
    EXPECT_EQ(outputs(), (std::vector<std::string>{"two_0.vpf", "two_1.vpf"}));
    EXPECT_EQ(testing::read_file(dir / "two_0.vpf"), file_bytes(with_carriers_at(shared, 2)));
}

TEST_F(Program, ExistingOutputIsReplaced) {
    testing::write_file(dir / "a_0.vpf", Bytes(500, 0xAB));
    const VoiceRecord voice = sample_voice(10, 2);
    testing::write_file(dir / "a.vgm", VgmWriter(0x150).ym2612_voice(0, voice).ym2612_key_on(0).bytes());
    run({"a.vgm"});
    EXPECT_EQ(testing::read_file(dir / "a_0.vpf"), file_bytes(voice));
}

TEST_F(Program, UnwritableOutputsAreReportedAfterTheSummary) {
    TIMBREX_SKIP_UNLESS_POSIX("permission bits");
    testing::write_file(dir / "a.vgm", VgmWriter(0x150)
                                           .ym2612_voice(0, sample_voice(11, 2))
                                           .ym2612_key_on(0)
                                           .ym2612_voice(1, sample_voice(12, 2))
                                           .ym2612_key_on(1)
                                           .bytes());
    // Root writes into read-only directories: run as nobody then.
    testing::RunLimits unprivileged;
    unprivileged.unprivileged = true;
    ASSERT_TRUE(testing::set_mode(dir.path(), 0555));
    const std::string out = run({"a.vgm"}, unprivileged).out;
    testing::set_mode(dir.path(), 0755);
    EXPECT_EQ(out, processing("a.vgm") + found(2) + "ERR: Can't save file '" + (dir / "a_0.vpf") + "'\n" +
                       "ERR: Can't save file '" + (dir / "a_1.vpf") + "'\n");
    EXPECT_TRUE(outputs().empty());
}

TEST_F(Program, SaveFailuresAmongManyGroupsAreReportedInGroupOrder) {
    const int voices = 90;
    VgmWriter log(0x150);
    for (int v = 0; v < voices; ++v) {
        log.ym2612_voice(v % 6, sample_voice(static_cast<uint32_t>(v) + 100, v % 8)).ym2612_key_on(v % 6);
    }
    testing::write_file(dir / "a.vgm", log.bytes());
    const std::vector<int> taken = {0, 1, 2, 5, 6, 44, 45, 46, 47, 71, 88, 89};
    for (int g : taken) ASSERT_TRUE(testing::make_directory(dir / ("a_" + std::to_string(g) + ".vpf")));

    std::string want = processing("a.vgm") + found(voices);
    for (int g : taken) want += "ERR: Can't save file '" + native(dir / ("a_" + std::to_string(g) + ".vpf")) + "'\n";
    EXPECT_EQ(run({"a.vgm"}).out, want);
    std::vector<std::string> want_files;
    for (int g = 0; g < voices; ++g) {
        if (std::find(taken.begin(), taken.end(), g) == taken.end())
            want_files.push_back("a_" + std::to_string(g) + ".vpf");
    }
    std::sort(want_files.begin(), want_files.end());
    EXPECT_EQ(outputs(), want_files);
    for (int v = 0; v < voices; ++v) {
        if (std::find(taken.begin(), taken.end(), v) != taken.end()) continue;
        EXPECT_EQ(testing::read_file(dir / ("a_" + std::to_string(v) + ".vpf")),
                  file_bytes(sample_voice(static_cast<uint32_t>(v) + 100, v % 8)))
            << "group " << v;
    }
}

// Relative and absolute paths with the system's separator (backslashes on
// Windows): printed as given, the prefix taken after the last separator.
TEST_F(Program, OutputsGoToTheStartDirectory) {
    ASSERT_TRUE(testing::make_directory(dir / "deep"));
    ASSERT_TRUE(testing::make_directory(dir / "deep/er"));
    testing::write_file(dir / "deep/er/x y.z.vgm",
                        VgmWriter(0x150).ym2612_voice(3, sample_voice(13, 4)).ym2612_key_on(3).bytes());
    testing::write_file(dir / "deep/w.vgm",
                        VgmWriter(0x150).ym2151_voice(3, sample_voice(15, 2)).ym2151_key_on(3).bytes());
    const std::string absolute = native(testing::real_path(dir.path()) + "/deep/w.vgm");
    EXPECT_EQ(run({native("deep/er/x y.z.vgm"), absolute}).out,
              processing(native("deep/er/x y.z.vgm")) + processing(absolute) + found(2));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"w_1.vpf", "x_y_0.vpf"}));
}

TEST_F(Program, DemoLogHarvestsFiveInstruments) {
    const std::string demo = std::string(TIMBREX_SOURCE_DIR) + "/examples/demo.vgz";
    EXPECT_EQ(run({demo}).out, processing(demo) + found(5));
    EXPECT_EQ(outputs(),
              (std::vector<std::string>{"demo_0.vpf", "demo_1.vpf", "demo_2.vpf", "demo_3.vpf", "demo_4.vpf"}));
    // The piano was played at two volumes: the louder one (carriers at TL 12) is kept.
    const Bytes piano = testing::read_file(dir / "demo_0.vpf");
    ASSERT_EQ(piano.size(), 42u);
    EXPECT_EQ(piano[0], 4);
    EXPECT_EQ(piano[2 + 2 * 10 + 2], 12);
    EXPECT_EQ(piano[2 + 3 * 10 + 2], 12);
}

}  // namespace
}  // namespace timbrex
