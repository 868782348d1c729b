// The driver's harvest of an input list on one thread and on several: the
// same lines in the same order and the same voice list, each voice stamped
// with the first file that gave it, over lists that shake the order in which
// workers finish.

#include "driver/capture_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bytes.h"
#include "driver/run_state.h"
#include "expected_lines.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::VgmWriter;

// Song n keys on a voice of its own on each chip's first channels, with the
// voice every song shares between them; `padding_waits` frequency writes and
// waits make it slow to inflate and walk.
Bytes song(uint32_t n, size_t padding_waits) {
    VgmWriter log(0x150);
    log.ym2612_voice(0, testing::sample_voice(100 + n, static_cast<int32_t>(n % 8))).ym2612_key_on(0);
    for (size_t i = 0; i < padding_waits; ++i) log.ym2612(0, 0xA4, static_cast<uint8_t>(i)).wait(3);
    log.ym2151_voice(1, testing::sample_voice(7, 3)).ym2151_key_on(1);
    log.ym2612_voice(2, testing::sample_voice(200 + n, 5)).ym2612_key_on(2);
    return log.end().bytes();
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

// An input list and what a run over it prints and lists.
struct ShakenList {
    testing::TempDir dir;
    std::vector<std::string> paths;
    std::string expected_out;
    // Song number -> the list position of the first file that plays it.
    std::map<uint32_t, int32_t> first_file;

    void add_song(const std::string& name, uint32_t n, size_t padding, bool gzip) {
        const Bytes log = song(n, padding);
        add(name, gzip ? testing::gzip_member(log) : log, testing::processing_line(dir / name));
        first_file.emplace(n, static_cast<int32_t>(paths.size() - 1));
    }
    void add(const std::string& name, const Bytes& bytes, const std::string& line) {
        testing::write_file(dir / name, bytes);
        add_path(dir / name, line);
    }
    void add_path(const std::string& path, const std::string& line) {
        paths.push_back(path);
        expected_out += line;
    }
};

// A large slow log first, then many tiny ones with every kind of failure
// between them, the same file named twice, a directory entry, and a voice
// first heard near the end: workers finish far out of list order.
void fill_shaken_list(ShakenList& list) {
    list.add_song("slow.vgz", 0, 400000, true);
    for (uint32_t n = 1; n <= 12; ++n) list.add_song("tiny" + std::to_string(n) + ".vgm", n, 0, n % 2 == 0);
    const std::string missing = list.dir / "missing.vgm";
    list.add_path(missing, "ERR: Can't open file '" + missing + "'\n");
    const std::string not_vgm = list.dir / "not-a-log.vgz";
    list.add("not-a-log.vgz", Bytes{'h', 'e', 'l', 'l', 'o', 5, 0, 0, 0},
             "ERR: No VGM found in file '" + not_vgm + "'\n");
    list.add_song("middle.vgm", 20, 20000, false);
    const std::string huge = list.dir / "claims-2gib.vgz";
    list.add("claims-2gib.vgz", testing::with_trailer_size(testing::gzip_member(song(30, 5)), 0x80000000u),
             "ERR: Can't alloc memory for file '" + huge + "'\n");
    list.add_path(list.dir / "tiny3.vgm", testing::processing_line(list.dir / "tiny3.vgm"));  // named again
    list.paths.push_back(list.dir.path() + "/");  // a directory entry is passed over
    Bytes damaged = testing::gzip_member(song(31, 20000));
    damaged[damaged.size() * 2 / 3] ^= 0x55;  // corrupt inside, the trailer left intact
    list.add("damaged.vgz", damaged, testing::processing_line(list.dir / "damaged.vgz"));
    list.add_song("late.vgm", 40, 0, false);
}

TEST(CaptureFiles, EveryThreadCountGivesWhatOneThreadGives) {
    ShakenList list;
    fill_shaken_list(list);
    const Capture one = capture(list.paths, 1);
    EXPECT_EQ(one.out, list.expected_out);

    // Each song's two voices carry the first file that played them; the voice
    // all songs share carries the first file of the list.
    std::map<std::string, int32_t> want_index;
    const auto key = [](const VoiceRecord& voice) {
        return std::string(reinterpret_cast<const char*>(&voice), kVoiceValueBytes);
    };
    for (const auto& [n, position] : list.first_file) {
        want_index[key(testing::sample_voice(100 + n, static_cast<int32_t>(n % 8)))] = position;
        want_index[key(testing::sample_voice(200 + n, 5))] = position;
    }
    want_index[key(testing::sample_voice(7, 3))] = 0;
    size_t checked = 0;
    for (const VoiceRecord& voice : one.voices) {
        const auto found = want_index.find(key(voice));
        if (found == want_index.end()) continue;  // from the damaged file's surviving part
        EXPECT_EQ(voice.file_index, found->second);
        ++checked;
    }
    EXPECT_EQ(checked, want_index.size()) << "every song's voices are listed";

    for (const unsigned threads : {2u, 3u, 8u}) {
        for (int round = 0; round < 3; ++round) {
            const Capture many = capture(list.paths, threads);
            EXPECT_EQ(many.out, one.out) << threads;
            ASSERT_EQ(many.voices.size(), one.voices.size()) << threads;
            EXPECT_EQ(std::memcmp(many.voices.data(), one.voices.data(), one.voices.size() * sizeof one.voices[0]), 0)
                << threads;
        }
    }
}

TEST(CaptureFiles, AFileAloneAndAnEmptyListNeedNoWorker) {
    testing::TempDir dir;
    testing::write_file(dir / "only.vgm", song(1, 0));
    EXPECT_EQ(capture({dir / "only.vgm"}, 2).out, testing::processing_line(dir / "only.vgm"));
    EXPECT_EQ(capture({}, 2).out, "");
}

}  // namespace
}  // namespace timbrex
