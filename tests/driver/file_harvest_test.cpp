// The ordered hand-back of harvests from worker threads: list order whatever
// the order of finishing, and the workers joined however the taking ends.

#include "driver/file_harvest.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::VgmWriter;

// Logs of very different lengths, each with a version of its own, so that an
// outcome handed to the wrong position shows.
std::vector<std::string> write_logs(const testing::TempDir& dir, size_t count) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < count; ++i) {
        VgmWriter log(0x100 + static_cast<uint32_t>(i % 0x60));
        const size_t waits = i % 5 == 0 ? 200000 : 1;
        for (size_t w = 0; w < waits; ++w) log.wait(1);
        paths.push_back(dir / ("log" + std::to_string(i) + ".vgm"));
        testing::write_file(paths.back(), log.end().bytes());
    }
    return paths;
}

int minor_of(size_t i) {
    const auto raw = static_cast<int>(i % 0x60);
    return (raw >> 4) * 10 + (raw & 0x0F);
}

TEST(HarvestInOrder, HandsEveryOutcomeBackInListOrder) {
    const testing::TempDir dir;
    const std::vector<std::string> paths = write_logs(dir, 23);
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
        std::vector<size_t> taken;
        harvest_in_order(paths, threads, [&](size_t position, const FileOutcome& outcome) {
            EXPECT_EQ(outcome.harvest.status, HarvestStatus::accepted);
            EXPECT_EQ(outcome.harvest.minor, minor_of(position)) << position;
            taken.push_back(position);
        });
        ASSERT_EQ(taken.size(), paths.size()) << threads;
        for (size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i) << threads;
    }
}

TEST(HarvestInOrder, AnExceptionFromTakeLeavesAfterTheWorkersAreJoined) {
    // Were a worker still joinable when the exception left, std::thread's
    // destructor would end the process.
    const testing::TempDir dir;
    const std::vector<std::string> paths = write_logs(dir, 12);
    for (const unsigned threads : {1u, 2u, 8u}) {
        for (const size_t failing : {size_t{0}, size_t{4}, paths.size() - 1}) {
            std::vector<size_t> taken;
            EXPECT_THROW(harvest_in_order(paths, threads,
                                          [&](size_t position, const FileOutcome&) {
                                              if (position == failing) throw std::bad_alloc();
                                              taken.push_back(position);
                                          }),
                         std::bad_alloc);
            EXPECT_EQ(taken.size(), failing) << threads;
        }
    }
}

}  // namespace
}  // namespace timbrex
