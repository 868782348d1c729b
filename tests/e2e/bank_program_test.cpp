// timbrex-bank end to end: the built program on patch files in a directory
// of the test's own, its exit status, what it prints, and every byte it
// leaves behind, read back by the format readers of the tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "bank_readers.h"
#include "host.h"
#include "output/voice_file.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ReadBank;
using testing::ReadInstrument;
using testing::RunResult;
using testing::TempDir;

// A patch and the name a bank gives it.
struct Patch {
    std::string name;
    Bytes bytes;
};

Bytes patch_bytes(const VoiceRecord& voice) {
    const VoiceFileBytes bytes = voice_file_bytes(voice);
    return Bytes(bytes.begin(), bytes.end());
}

// `count` different patches of every algorithm with SSG-EG modes among them,
// saved as "v_<i>.vpf" in `folder`; returned in byte order of their names.
std::vector<Patch> write_patches(const std::string& folder, size_t count) {
    std::vector<Patch> patches;
    for (size_t i = 0; i < count; ++i) {
        VoiceRecord voice =
            testing::sample_voice(static_cast<uint32_t>(i), static_cast<int32_t>(i % 8), static_cast<int32_t>(i % 100));
        voice.slot[i % 4].SSG = static_cast<int32_t>(8 + i % 8);
        Patch patch{"v_" + std::to_string(i), patch_bytes(voice)};
        testing::write_file(folder + "/" + patch.name + ".vpf", patch.bytes);
        patches.push_back(std::move(patch));
    }
    std::sort(patches.begin(), patches.end(), [](const Patch& a, const Patch& b) { return a.name < b.name; });
    return patches;
}

// The .vpf files of `folder` in byte order of names, as timbrex left them.
std::vector<Patch> patches_in(const std::string& folder) {
    std::vector<Patch> patches;
    for (const std::string& file : testing::files_in(folder)) {
        if (file.size() > 4 && file.substr(file.size() - 4) == ".vpf") {
            patches.push_back({file.substr(0, file.size() - 4), testing::read_file(folder + "/" + file)});
        }
    }
    return patches;
}

Bytes without_ssg(Bytes patch) {
    for (size_t slot = 0; slot < 4; ++slot) patch[2 + 10 * slot + 9] = 0;
    return patch;
}

// Every entry of the files and folders in `directory`, recursively, relative to it.
std::vector<std::string> everything_in(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(testing::to_path(directory))) {
        const std::string name = testing::from_path(fs::relative(entry.path(), testing::to_path(directory)));
        if (name.rfind(".timbrex-stderr", 0) != 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void expect_wopn_holds(const std::string& path, const std::vector<Patch>& patches) {
    const ReadBank bank = testing::read_wopn(testing::read_file(path));
    ASSERT_EQ(bank.error, "");
    EXPECT_EQ(bank.melodic_banks, static_cast<int>(std::max<size_t>(1, (patches.size() + 127) / 128)));
    EXPECT_EQ(bank.percussion_banks, 1);
    ASSERT_EQ(bank.instruments.size(), patches.size());
    for (size_t i = 0; i < patches.size(); ++i) {
        const ReadInstrument& read = bank.instruments[i];
        ASSERT_EQ(read.name, patches[i].name.substr(0, 31));
        ASSERT_EQ(read.bank, static_cast<int>(i / 128)) << read.name;
        ASSERT_EQ(read.program, static_cast<int>(i % 128)) << read.name;
        ASSERT_EQ(read.patch, patches[i].bytes) << read.name;
    }
}

// OUT, then OUT-2, OUT-3 ... with 128 voices each, numbered from 0 in each.
void expect_opm_holds(const std::string& directory, const std::string& stem, const std::vector<Patch>& patches) {
    const size_t files = std::max<size_t>(1, (patches.size() + 127) / 128);
    for (size_t f = 0; f < files; ++f) {
        const std::string name = f == 0 ? stem + ".opm" : stem + "-" + std::to_string(f + 1) + ".opm";
        const Bytes file = testing::read_file(directory + "/" + name);
        const ReadBank bank = testing::read_opm(std::string(file.begin(), file.end()));
        ASSERT_EQ(bank.error, "") << name;
        ASSERT_EQ(bank.instruments.size(), std::min<size_t>(128, patches.size() - 128 * f)) << name;
        for (size_t n = 0; n < bank.instruments.size(); ++n) {
            const Patch& patch = patches[128 * f + n];
            ASSERT_EQ(bank.instruments[n].program, static_cast<int>(n)) << name;
            ASSERT_EQ(bank.instruments[n].name, patch.name.substr(0, 31));
            // The YM2151 has no SSG-EG; every other value comes back.
            ASSERT_EQ(bank.instruments[n].patch, without_ssg(patch.bytes)) << patch.name;
        }
    }
    EXPECT_FALSE(fs::exists(testing::to_path(directory + "/" + stem + "-" + std::to_string(files + 1) + ".opm")));
}

void expect_dmp_holds(const std::string& folder, const std::vector<Patch>& patches) {
    std::vector<std::string> want;
    for (const Patch& patch : patches) want.push_back(patch.name + ".dmp");
    std::sort(want.begin(), want.end());
    ASSERT_EQ(testing::files_in(folder), want);
    for (const Patch& patch : patches) {
        const ReadBank preset = testing::read_dmp(testing::read_file(folder + "/" + patch.name + ".dmp"), patch.name);
        ASSERT_EQ(preset.error, "") << patch.name;
        ASSERT_EQ(preset.instruments.at(0).patch, patch.bytes) << patch.name;
    }
}

// All three formats from the folder `patches_folder`, checked against `patches`.
void expect_every_format_round_trips(const std::string& patches_folder, const std::vector<Patch>& patches) {
    TempDir out;
    for (const char* format : {"wopn", "opm", "dmp"}) {
        const std::string target = std::string("bank.") + format;
        const RunResult result = testing::run_timbrex_bank(
            out.path(), {format, std::string(format) == "dmp" ? "presets" : target, patches_folder});
        ASSERT_EQ(result.status, 0) << format << ": " << result.err;
        EXPECT_EQ(result.err, "");
    }
    expect_wopn_holds(out / "bank.wopn", patches);
    expect_opm_holds(out.path(), "bank", patches);
    expect_dmp_holds(out / "presets", patches);
}

TEST(BankProgram, UsageErrorsExitWithTwoAndWriteNothing) {
    const std::vector<std::vector<std::string>> rows = {
        {},
        {"wopn"},
        {"wopn", "bank.wopn"},
        {"xyz", "bank.wopn", "p.vpf"},
        {"WOPN", "bank.wopn", "p.vpf"},
        {"--bogus", "bank.wopn", "p.vpf"},
        {"--", "wopn", "bank.wopn", "p.vpf"},
    };
    for (const std::vector<std::string>& arguments : rows) {
        TempDir dir;
        write_patches(dir.path(), 1);
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0]);
        const RunResult result = testing::run_timbrex_bank(dir.path(), arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Try 'timbrex-bank --help'."), std::string::npos) << result.err;
        EXPECT_EQ(everything_in(dir.path()), std::vector<std::string>{"v_0.vpf"});
    }
    TempDir dir;
    EXPECT_EQ(testing::run_timbrex_bank(dir.path(), {"xyz", "o", "p"}).err,
              "timbrex-bank: unknown format 'xyz' (wopn, opm or dmp)\nTry 'timbrex-bank --help'.\n");
}

TEST(BankProgram, HelpAndVersionGoToStandardOutput) {
    TempDir dir;
    const RunResult help = testing::run_timbrex_bank(dir.path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: timbrex-bank FORMAT OUT PATCH...\n", 0), 0u) << help.out;
    for (const char* format : {"  wopn  ", "  opm  ", "  dmp  "}) EXPECT_NE(help.out.find(format), std::string::npos);
    EXPECT_EQ(help.err, "");
    const RunResult version = testing::run_timbrex_bank(dir.path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("timbrex-bank [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
    EXPECT_EQ(everything_in(dir.path()), std::vector<std::string>{});
}

// A file that is no patch stops the run before anything is written, and
// every such file is named.
TEST(BankProgram, AFileNotExactly42BytesLongWritesNoBank) {
    for (const char* format : {"wopn", "opm", "dmp"}) {
        SCOPED_TRACE(format);
        TempDir dir;
        write_patches(dir.path(), 3);
        testing::write_file(dir / "short.vpf", Bytes(41, 1));
        testing::write_file(dir / "long.vpf", Bytes(43, 1));
        testing::write_file(dir / "empty.vpf", Bytes());
        const std::vector<std::string> before = everything_in(dir.path());
        const RunResult result = testing::run_timbrex_bank(
            dir.path(), {format, "out", "v_0.vpf", "short.vpf", "long.vpf", "empty.vpf", "missing.vpf", "v_1.vpf"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err,
                  "timbrex-bank: 'short.vpf' is not a voice patch: it is not exactly 42 bytes long\n"
                  "timbrex-bank: 'long.vpf' is not a voice patch: it is not exactly 42 bytes long\n"
                  "timbrex-bank: 'empty.vpf' is not a voice patch: it is not exactly 42 bytes long\n"
                  "timbrex-bank: can't open 'missing.vpf'\n");
        EXPECT_EQ(everything_in(dir.path()), before);
        // The same folder read whole meets the same three.
        const RunResult folder = testing::run_timbrex_bank(dir.path(), {format, "out", "."});
        EXPECT_EQ(folder.status, 1);
        EXPECT_NE(folder.err.find("short.vpf' is not a voice patch"), std::string::npos) << folder.err;
        EXPECT_EQ(everything_in(dir.path()), before);
    }
}

TEST(BankProgram, NoPatchAtAllIsAFailure) {
    TempDir dir;
    ASSERT_TRUE(testing::make_directory(dir / "empty"));
    const RunResult result = testing::run_timbrex_bank(dir.path(), {"wopn", "bank.wopn", "empty"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "timbrex-bank: no .vpf voice patch among the files and folders given\n");
    EXPECT_EQ(everything_in(dir.path()), std::vector<std::string>{"empty"});
}

// OUT cannot be written: the run fails, names it, and leaves no bank, no
// temporary file and no folder of its own behind.
TEST(BankProgram, AnUnwritableOutLeavesNothingBehind) {
    struct Row {
        const char* format;
        const char* out;
        std::vector<std::string> in_the_way;  // folders made first
        std::string failed;                   // the path the message names
    };
    const Row rows[] = {
        {"wopn", "missing/bank.wopn", {}, "missing/bank.wopn"},
        {"opm", "missing/bank.opm", {}, "missing/bank.opm"},
        {"dmp", "missing/presets", {}, "missing/presets"},
        {"wopn", "taken", {"taken"}, "taken"},
        {"opm", "taken", {"taken"}, "taken"},
        // The folder is there; one preset's name is taken by a folder.
        {"dmp", "presets", {"presets", "presets/v_1.dmp"}, testing::native("presets/v_1.dmp")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.out);
        TempDir dir;
        ASSERT_TRUE(testing::make_directory(dir / "patches"));
        write_patches(dir / "patches", 3);
        for (const std::string& folder : row.in_the_way) ASSERT_TRUE(testing::make_directory(dir / folder));
        const std::vector<std::string> before = everything_in(dir.path());
        const RunResult result = testing::run_timbrex_bank(dir.path(), {row.format, row.out, "patches"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "timbrex-bank: can't write '" + row.failed + "'; nothing was written\n");
        EXPECT_EQ(everything_in(dir.path()), before);
    }
}

// A write that fails half way (a file size limit, as a full disk) leaves the
// bank that was there before as it was.
TEST(BankProgram, AWriteFailingHalfWayKeepsTheOldBank) {
    TIMBREX_SKIP_UNLESS_POSIX("file size limits");
    TempDir dir;
    write_patches(dir.path(), 3);
    testing::write_file(dir / "bank.wopn", Bytes(10, 7));
    testing::RunLimits limits;
    limits.file_size = 4096;
    const std::vector<std::string> before = everything_in(dir.path());
    const RunResult result = testing::run_timbrex_bank(dir.path(), {"wopn", "bank.wopn", "."}, limits);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "timbrex-bank: can't write 'bank.wopn'; nothing was written\n");
    EXPECT_EQ(everything_in(dir.path()), before);
    limits.file_size = 0;  // a 51-byte preset fits in 4096 bytes, in 0 none does
    EXPECT_EQ(testing::run_timbrex_bank(dir.path(), {"dmp", "presets", "."}, limits).status, 1);
    EXPECT_EQ(everything_in(dir.path()), before) << "the folder made for the presets goes again";
    EXPECT_EQ(testing::read_file(dir / "bank.wopn"), Bytes(10, 7));

    // Without the limit the old bank is replaced.
    EXPECT_EQ(testing::run_timbrex_bank(dir.path(), {"wopn", "bank.wopn", "."}).status, 0);
    expect_wopn_holds(dir / "bank.wopn", patches_in(dir.path()));
}

// Files named come in argument order, a folder's .vpf files in byte order of
// their names; whatever else a folder holds is passed over.
TEST(BankProgram, AFolderGivesItsPatchesInByteOrderAndSkipsTheRest) {
    TempDir dir;
    ASSERT_TRUE(testing::make_directory(dir / "kit"));
    ASSERT_TRUE(testing::make_directory(dir / "kit/sub"));
    ASSERT_TRUE(testing::make_directory(dir / "kit/folder.vpf"));
    ASSERT_TRUE(testing::make_directory(dir / "loose"));
    const std::vector<Patch> voices = write_patches(dir / "loose", 6);
    auto put = [&](const std::string& path, size_t voice) { testing::write_file(dir / path, voices[voice].bytes); };
    put("kit/b.vpf", 0);
    put("kit/Z.vpf", 1);
    put("kit/a.VPF", 2);
    put("kit/notes.txt", 3);  // 42 bytes, yet no patch by its name
    put("kit/b.vpf.bak", 3);
    put("kit/sub/c.vpf", 3);
    put("first.vpf", 4);
    put("last", 5);  // named on the command line: taken whatever its name
    const RunResult result = testing::run_timbrex_bank(dir.path(), {"wopn", "bank.wopn", "first.vpf", "kit", "last"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "timbrex-bank: 5 instruments written to 'bank.wopn'\n");
    EXPECT_EQ(result.err, "");
    expect_wopn_holds(dir / "bank.wopn", {{"first", voices[4].bytes},
                                          {"Z", voices[1].bytes},
                                          {"a", voices[2].bytes},
                                          {"b", voices[0].bytes},
                                          {"last", voices[5].bytes}});
}

// Bench-logs' count of instruments, made up: eleven WOPN banks of 128, the
// last with 100; eleven OPM files; 1,380 presets.
TEST(BankProgram, ThirteenHundredEightyInstrumentsMakeElevenBanks) {
    TempDir dir;
    ASSERT_TRUE(testing::make_directory(dir / "patches"));
    const std::vector<Patch> patches = write_patches(dir / "patches", 1380);
    TempDir out;
    const RunResult wopn = testing::run_timbrex_bank(out.path(), {"wopn", "bank.wopn", dir / "patches"});
    EXPECT_EQ(wopn.out, "timbrex-bank: 1380 instruments written to 'bank.wopn'\n");
    const RunResult opm = testing::run_timbrex_bank(out.path(), {"opm", "bank.opm", dir / "patches"});
    EXPECT_EQ(opm.out, "timbrex-bank: 1380 instruments written to 'bank.opm' and 10 more OPM files beside it\n");
    const RunResult dmp = testing::run_timbrex_bank(out.path(), {"dmp", "presets", dir / "patches"});
    EXPECT_EQ(dmp.out, "timbrex-bank: 1380 presets written into 'presets'\n");
    expect_wopn_holds(out / "bank.wopn", patches);
    EXPECT_EQ(fs::file_size(testing::to_path(out / "bank.wopn")), 18u + 34 * 12 + 8832 * 12);
    expect_opm_holds(out.path(), "bank", patches);
    expect_dmp_holds(out / "presets", patches);
}

// What timbrex harvests comes back whole from every format: the demo always,
// the logs beside the project where they are.
TEST(BankProgram, HarvestedInstrumentsRoundTripThroughEveryFormat) {
    std::vector<std::vector<std::string>> harvests = {{std::string(TIMBREX_SOURCE_DIR) + "/examples/demo.vgz"}};
    const fs::path bench = fs::path(TIMBREX_SOURCE_DIR) / ".." / "shared" / "bench-logs";
    if (fs::is_directory(bench)) {
        std::vector<std::string> logs;
        for (const auto& entry : fs::recursive_directory_iterator(bench)) {
            std::string name = entry.path().filename().string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::string suffix = name.size() > 4 ? name.substr(name.size() - 4) : "";
            if (entry.is_regular_file() && (suffix == ".vgm" || suffix == ".vgz"))
                logs.push_back(entry.path().string());
        }
        std::sort(logs.begin(), logs.end());
        harvests.push_back(logs);
    }
    for (const std::vector<std::string>& logs : harvests) {
        SCOPED_TRACE(logs[0]);
        TempDir patches;
        ASSERT_EQ(testing::run_timbrex(patches.path(), logs).status, 0);
        const std::vector<Patch> harvested = patches_in(patches.path());
        ASSERT_FALSE(harvested.empty());
        expect_every_format_round_trips(patches.path(), harvested);
    }
    if (!fs::is_directory(bench)) GTEST_SKIP() << "the demo only: no bench-logs beside the project";
}

}  // namespace
}  // namespace timbrex
