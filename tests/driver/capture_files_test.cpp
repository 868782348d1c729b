// The capture loop with the next file read ahead on a second thread and on
// one thread alone: the same lines in the same order and the same voice list,
// over a list that mixes good, large, missing, refused and damaged files.

#include "driver/capture_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/run_state.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::VgmWriter;

// Each file has voices of its own and one shared with every other file, so a
// file read in the wrong order or into the wrong buffer changes the list.
Bytes song(uint32_t n, size_t padding_waits) {
    VgmWriter log(0x150);
    log.ym2612_voice(0, testing::sample_voice(100 + n, static_cast<int32_t>(n % 8))).ym2612_key_on(0);
    for (size_t i = 0; i < padding_waits; ++i) log.ym2612(0, 0xA4, static_cast<uint8_t>(i)).wait(3);
    log.ym2151_voice(1, testing::sample_voice(7, 3)).ym2151_key_on(1);
    log.ym2612_voice(2, testing::sample_voice(200 + n, 5)).ym2612_key_on(2);
    return log.end().bytes();
}

Bytes with_trailer(Bytes member, uint32_t size) {
    for (size_t i = 0; i < 4; ++i) member[member.size() - 4 + i] = static_cast<uint8_t>(size >> (8 * i));
    return member;
}

struct Capture {
    std::string out;
    std::vector<VoiceRecord> voices;
};

Capture capture(const std::vector<std::string>& paths, unsigned threads) {
    RunState run;
    for (const std::string& path : paths) add_input(run.inputs, path, path.back() == '/');
    ::testing::internal::CaptureStdout();
    capture_all_files(run, threads);
    Capture result;
    result.out = ::testing::internal::GetCapturedStdout();
    result.voices = run.voices.records;
    return result;
}

TEST(CaptureFiles, ReadAheadGivesWhatOneThreadGives) {
    testing::TempDir dir;
    std::vector<std::string> paths;
    std::string expected;
    const auto add = [&](const std::string& name, const Bytes& bytes, const std::string& line) {
        testing::write_file(dir / name, bytes);
        paths.push_back(dir / name);
        expected +=
            line.empty() ? "" : line + " '" + (dir / name) + "'" + (line[0] == 'O' ? " (VGM v1.50)" : "") + "\n";
    };
    for (uint32_t n = 0; n < 6; ++n) {
        // Large files between small ones: loads that take longer than walks
        // and walks that take longer than loads.
        const size_t padding = n % 3 == 0 ? 300000 : 10;
        add("song" + std::to_string(n) + ".vgz", testing::gzip_member(song(n, padding)), "OK: Processing");
        add("plain" + std::to_string(n) + ".vgm", song(n + 10, padding / 2), "OK: Processing");
    }
    paths.push_back(dir / "missing.vgm");
    expected += "ERR: Can't open file '" + (dir / "missing.vgm") + "'\n";
    add("claims-2gib.vgz", with_trailer(testing::gzip_member(song(30, 5)), 0x80000000u),
        "ERR: Can't alloc memory for file");
    add("not-a-log.vgz", Bytes{'h', 'e', 'l', 'l', 'o', 5, 0, 0, 0}, "ERR: No VGM found in file");
    paths.push_back(dir.path() + "/");  // a directory entry is passed over
    Bytes damaged = testing::gzip_member(song(31, 20000));
    damaged[damaged.size() * 2 / 3] ^= 0x55;  // corrupt inside, the trailer left intact
    add("damaged.vgz", damaged, "OK: Processing");
    add("last.vgm", song(32, 0), "OK: Processing");

    const Capture one = capture(paths, 1);
    EXPECT_EQ(one.out, expected);
    ASSERT_GE(one.voices.size(), 2u * 13 + 1) << "two voices of each good file and the shared one";
    for (const unsigned cores : {2u, 8u}) {
        for (int round = 0; round < 3; ++round) {
            const Capture ahead = capture(paths, cores);
            EXPECT_EQ(ahead.out, one.out) << cores;
            ASSERT_EQ(ahead.voices.size(), one.voices.size()) << cores;
            EXPECT_EQ(std::memcmp(ahead.voices.data(), one.voices.data(), one.voices.size() * sizeof one.voices[0]), 0)
                << cores;
        }
    }
}

TEST(CaptureFiles, AFileAloneAndAnEmptyListNeedNoWorker) {
    testing::TempDir dir;
    testing::write_file(dir / "only.vgm", song(1, 0));
    EXPECT_EQ(capture({dir / "only.vgm"}, 2).out, "OK: Processing '" + (dir / "only.vgm") + "' (VGM v1.50)\n");
    EXPECT_EQ(capture({}, 2).out, "");
}

}  // namespace
}  // namespace timbrex
