#include "platform/cpu_count.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sched.h>
#endif

namespace timbrex {
namespace {

#if defined(__linux__)
// As `taskset -c N` starts a process: a mask of one CPU means one thread.
TEST(UsableCpuCount, FollowsTheAffinityMask) {
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(platform::usable_cpu_count(), static_cast<unsigned>(CPU_COUNT(&all)));
    size_t first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned pinned = platform::usable_cpu_count();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(pinned, 1u);
}
#endif

}  // namespace
}  // namespace timbrex
