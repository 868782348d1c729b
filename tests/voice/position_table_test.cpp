#include "voice/position_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace timbrex {
namespace {

// Every item hashes alike: every lookup walks one probe chain, and only the
// items themselves can tell two apart.
struct SameHashForAll {
    uint64_t operator()(const int32_t&) const { return 0xABCDull << 32 | 0x1234u; }
};

TEST(PositionTable, ItemsWithOneHashStayApart) {
    std::vector<int32_t> items;
    PositionTable<int32_t, SameHashForAll, std::equal_to<int32_t>> table;
    for (int32_t i = 0; i < 200; ++i) {
        const int32_t item = 1000 + 7 * i;
        ASSERT_EQ(table.find(items, item), -1) << item;
        items.push_back(item);
        table.insert(items, i);
    }
    // The table grew several times over the chain.
    for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(table.find(items, 1000 + 7 * i), i);
    EXPECT_EQ(table.find(items, 1001), -1);
}

}  // namespace
}  // namespace timbrex
