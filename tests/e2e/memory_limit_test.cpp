// Runs with the address space limited as `ulimit -v` does. A gzip log of two
// megabytes whose trailer claims almost 2 GiB: reserved memory, not only
// resident memory, must follow the data present, so the file is read whole and
// gives exactly what it gives with an honest trailer. A log whose buffer
// cannot grow as far as it inflates is refused, and a log whose voices
// exhaust memory ends the run, each as a run on one thread reports it. Logs
// that two workers cannot hold at once are harvested as one thread harvests
// them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bytes.h"
#include "expected_lines.h"
#include "host.h"
#include "platform/cpu_count.h"
#include "run_binary.h"
#include "vgm_writer.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TIMBREX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TIMBREX_SANITIZED 1
#endif
#endif

namespace timbrex {
namespace {

using testing::Bytes;
using testing::VgmWriter;

// Sanitizers reserve terabytes of shadow memory: a binary built with them
// cannot start under an address-space limit.
constexpr bool kSanitized =
#ifdef TIMBREX_SANITIZED
    true;
#else
    false;
#endif

constexpr long kLimitKib = 1000000;

// About 2 MB compressed and 14 MB inflated: a sample block that does not
// compress, a long stretch of FM writes that does, and a voice at each end, so
// that a read that stopped early loses the second instrument.
Bytes big_log() {
    VgmWriter log(0x150);
    log.ym2612_voice(0, testing::sample_voice(1, 4)).ym2612_key_on(0).wait(735);
    log.data_block(0x00, testing::noise_bytes(1900000, 0x9E3779B9u));
    for (int i = 0; i < 2000000; ++i) {
        log.ym2612(0, 0xA4, static_cast<uint8_t>(i & 0x3F)).wait(static_cast<uint16_t>(1 + i % 7));
    }
    log.ym2151_voice(5, testing::sample_voice(2, 7)).ym2151_key_on(5).wait(735);
    return log.end().bytes();
}

struct Harvest {
    testing::RunResult result;
    std::vector<std::pair<std::string, Bytes>> files;
};

Harvest harvest(const testing::TempDir& dir, const Bytes& file, long limit_kib) {
    testing::write_file(dir / "big.vgz", file);
    Harvest h;
    testing::RunLimits limits;
    limits.address_space_kib = limit_kib;
    h.result = testing::run_timbrex(dir.path(), {"big.vgz"}, limits);
    for (const std::string& name : testing::files_in(dir.path())) {
        if (name != "big.vgz") h.files.emplace_back(name, testing::read_file(dir / name));
    }
    return h;
}

TEST(MemoryLimit, TrailerClaimingAlmost2GiBIsReadWholeUnderUlimit) {
    TIMBREX_SKIP_UNLESS_POSIX("address-space limits");
    if (kSanitized) GTEST_SKIP() << "an address-space limit means nothing under sanitizers";
    const Bytes member = testing::gzip_member(big_log());
    ASSERT_GT(member.size(), 1900000u);

    testing::TempDir honest_dir;
    const Harvest honest = harvest(honest_dir, member, 0);
    EXPECT_EQ(honest.result.out, "OK: Processing 'big.vgz' (VGM v1.50)\nOK: 2 instruments were found\n");
    ASSERT_EQ(honest.files.size(), 2u);

    for (const uint32_t claim : {static_cast<uint32_t>(big_log().size()), 0x7FFFFFFFu}) {
        testing::TempDir dir;
        const Harvest limited = harvest(dir, testing::with_trailer_size(member, claim), kLimitKib);
        EXPECT_EQ(limited.result.status, 0) << claim;
        EXPECT_EQ(limited.result.err, "") << claim;
        EXPECT_EQ(limited.result.out, honest.result.out) << claim;
        EXPECT_EQ(limited.files, honest.files) << claim;
    }
}

TEST(MemoryLimit, AllocationFailureIsReportedForTheFile) {
    TIMBREX_SKIP_UNLESS_POSIX("address-space limits");
    if (kSanitized) GTEST_SKIP() << "an address-space limit means nothing under sanitizers";
    // Too little room for this log's buffer, enough for the program itself:
    // the file is refused with the alloc message and the run ends normally.
    testing::TempDir dir;
    const Harvest tight = harvest(dir, testing::with_trailer_size(testing::gzip_member(big_log()), 0x7FFFFFFFu), 40000);
    EXPECT_EQ(tight.result.status, 0);
    EXPECT_EQ(tight.result.out, "ERR: Can't alloc memory for file 'big.vgz'\nOK: 0 instruments were found\n");
    EXPECT_TRUE(tight.files.empty());
}

// A log that inflates about a thousandfold, far past the buffer its compressed
// size vouches for, with a voice at its very end.
Bytes far_inflating_log() {
    return VgmWriter(0x150)
        .raw(Bytes(100000000, 0x62))
        .ym2612_voice(0, testing::sample_voice(1, 4))
        .ym2612_key_on(0)
        .end()
        .bytes();
}

Bytes small_log(uint32_t variant) {
    return VgmWriter(0x150).ym2612_voice(1, testing::sample_voice(variant, 7)).ym2612_key_on(1).end().bytes();
}

TEST(MemoryLimit, BufferGrowthThatFailsRefusesTheFileAndTheRunGoesOn) {
    TIMBREX_SKIP_UNLESS_POSIX("address-space limits");
    if (kSanitized) GTEST_SKIP() << "an address-space limit means nothing under sanitizers";
    testing::TempDir dir;
    testing::write_file(dir / "long.vgz", testing::gzip_member(far_inflating_log()));
    testing::write_file(dir / "after.vgm", small_log(5));
    const std::vector<std::string> arguments = {"long.vgz", "after.vgm"};

    const testing::RunResult free_run = testing::run_timbrex(dir.path(), arguments);
    EXPECT_EQ(free_run.out, testing::processing_line("long.vgz") + testing::processing_line("after.vgm") +
                                testing::instruments_found_line(2));
    // Room for the buffer the trailer is trusted with, not for the growth:
    // a failed growth is no end of the data.
    testing::RunLimits limits;
    limits.address_space_kib = 120000;
    const testing::RunResult limited = testing::run_timbrex(dir.path(), arguments, limits);
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.out, "ERR: Can't alloc memory for file 'long.vgz'\n" + testing::processing_line("after.vgm") +
                               testing::instruments_found_line(1));
}

// Two million distinct voices in 12 MB: each key-on follows one level write,
// and the levels of three operators count up like an odometer.
Bytes voice_flood_log() {
    VgmWriter log(0x150);
    log.ym2612_voice(0, testing::sample_voice(3, 0));
    for (uint32_t i = 0; i < 2000000; ++i) {
        const uint32_t digits[3] = {i % 128, (i / 128) % 128, (i / 16384) % 128};
        log.ym2612(0, 0x40, static_cast<uint8_t>(digits[0]));
        if (digits[0] == 0) log.ym2612(0, 0x44, static_cast<uint8_t>(digits[1]));
        if (digits[0] == 0 && digits[1] == 0) log.ym2612(0, 0x48, static_cast<uint8_t>(digits[2]));
        log.ym2612_key_on(0);
    }
    return log.end().bytes();
}

TEST(MemoryLimit, VoicesThatExhaustMemoryEndTheRunAfterTheLinesBeforeThem) {
    TIMBREX_SKIP_UNLESS_POSIX("address-space limits");
    if (kSanitized) GTEST_SKIP() << "an address-space limit means nothing under sanitizers";
    testing::TempDir dir;
    testing::write_file(dir / "a.vgm", small_log(5));
    testing::write_file(dir / "flood.vgm", voice_flood_log());
    testing::write_file(dir / "z.vgm", small_log(6));
    testing::RunLimits limits;
    limits.address_space_kib = 200000;
    const testing::RunResult limited = testing::run_timbrex(dir.path(), {"a.vgm", "flood.vgm", "z.vgm"}, limits);
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.err, "");
    EXPECT_EQ(limited.out,
              testing::processing_line("a.vgm") + testing::processing_line("flood.vgm") + "ERR: Out of memory\n");
    EXPECT_EQ(testing::files_in(dir.path()), (std::vector<std::string>{"a.vgm", "flood.vgm", "z.vgm"}))
        << "nothing is written";
}

// 100 MB of log, a data block of zeros between two voices: more than one of
// the per-thread heaps glibc would make can hold, so that a heap left over
// from the workers is room the calling thread cannot use.
Bytes hundred_megabyte_log(uint32_t variant) {
    return VgmWriter(0x150)
        .ym2612_voice(0, testing::sample_voice(variant, 4))
        .ym2612_key_on(0)
        .wait(735)
        .data_block(0x00, Bytes(100000000, 0))
        .ym2151_voice(5, testing::sample_voice(variant + 10, 7))
        .ym2151_key_on(5)
        .wait(735)
        .end()
        .bytes();
}

// Leaves the zeros as holes, so that the test costs no disk.
void write_sparse_file(const std::string& path, const Bytes& bytes) {
    constexpr size_t kStep = 65536;
    std::ofstream out(path, std::ios::binary);
    for (size_t at = 0; at < bytes.size(); at += kStep) {
        const size_t length = std::min(kStep, bytes.size() - at);
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        const bool zeros =
            std::all_of(first, first + static_cast<std::ptrdiff_t>(length), [](uint8_t b) { return b == 0; });
        if (zeros && at + length < bytes.size()) {
            out.seekp(static_cast<std::streamoff>(at + length));
        } else {
            out.write(reinterpret_cast<const char*>(bytes.data() + at), static_cast<std::streamsize>(length));
        }
    }
}

// The instruments a run wrote beside the logs, removed once read, so that the
// next run starts from the logs alone.
std::vector<std::pair<std::string, Bytes>> take_outputs(const testing::TempDir& dir,
                                                        const std::vector<std::string>& logs) {
    std::vector<std::pair<std::string, Bytes>> outputs;
    for (const std::string& name : testing::files_in(dir.path())) {
        if (std::find(logs.begin(), logs.end(), name) != logs.end()) continue;
        outputs.emplace_back(name, testing::read_file(dir / name));
        std::remove((dir / name).c_str());
    }
    return outputs;
}

// Limits with room for the program and one of the logs, about 104,000 KiB,
// but not for two logs at once, about 210,000 KiB: each worker may run short,
// and then the calling thread harvests the files from there.
struct Room {
    long limit_kib;
    const char* what;
};
const Room kRooms[] = {
    {165000, "too little for one log beside a 64 MiB heap a worker left behind"},
    {110000, "too little for one log beside two 8 MiB stacks of joined workers"},
};

TEST(MemoryLimit, LogsTwoWorkersCannotHoldAtOnceAreHarvestedAsOnOneThread) {
    TIMBREX_SKIP_UNLESS_POSIX("address-space limits");
    if (kSanitized) GTEST_SKIP() << "an address-space limit means nothing under sanitizers";
    testing::TempDir dir;
    const std::vector<std::string> logs = {"a.vgm", "b.vgm", "c.vgm"};
    for (uint32_t i = 0; i < logs.size(); ++i) write_sparse_file(dir / logs[i], hundred_megabyte_log(i + 1));
    const bool two_cpus = platform::usable_cpu_count() >= 2;

    for (const Room& room : kRooms) {
        testing::RunLimits alone_limits;
        alone_limits.address_space_kib = room.limit_kib;
        alone_limits.cpus = 1;
        const testing::RunResult alone = testing::run_timbrex(dir.path(), logs, alone_limits);
        ASSERT_EQ(alone.out, testing::processing_line("a.vgm") + testing::processing_line("b.vgm") +
                                 testing::processing_line("c.vgm") + testing::instruments_found_line(6))
            << "one thread has room for every log under " << room.limit_kib << " KiB";
        const auto alone_outputs = take_outputs(dir, logs);

        // The binary starts a worker per CPU: two when the tests may use two.
        // The driver in a child of this test starts two whatever the CPUs,
        // its limit counted from the address space the test already holds.
        testing::RunLimits binary_limits = alone_limits;
        binary_limits.cpus = 2;
        for (int round = 0; round < 3; ++round) {
            if (two_cpus) {
                const testing::RunResult binary = testing::run_timbrex(dir.path(), logs, binary_limits);
                EXPECT_EQ(binary.out, alone.out) << room.what << ", round " << round;
                EXPECT_EQ(binary.err, "") << room.what << ", round " << round;
                EXPECT_EQ(take_outputs(dir, logs), alone_outputs) << room.what << ", round " << round;
            }
            testing::RunLimits child_limits;
            child_limits.address_space_kib = testing::address_space_in_use_kib() + room.limit_kib;
            const testing::RunResult child = testing::run_harvest_in_child(dir.path(), logs, 2, child_limits);
            EXPECT_EQ(child.out, alone.out) << room.what << ", round " << round;
            EXPECT_EQ(take_outputs(dir, logs), alone_outputs) << room.what << ", round " << round;
        }
    }
}

}  // namespace
}  // namespace timbrex
