// The program's VGM writer, byte for byte: the header it writes and the
// commands, long waits split as the format needs.

#include "vgm/log_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "vgm/bytes.h"

namespace timbrex {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(LogWriter, HeaderAndCommandsByteForByte) {
    const Bytes log = LogWriter(0x150)
                          .header_field(kHeaderYm2612Clock, kYm2612Clock)
                          .header_field(kHeaderTotalSamples, 70000)
                          .ym2612(1, 0x42, 0x85)
                          .ym2151(0x08, 0x7D)
                          .psg(0x9F)
                          .wait(70000)
                          .wait(0)
                          .end()
                          .bytes();
    ASSERT_EQ(log.size(), 0x40u + 3 + 3 + 2 + 6 + 1);
    EXPECT_EQ(Bytes(log.begin(), log.begin() + 4), (Bytes{'V', 'g', 'm', ' '}));
    EXPECT_EQ(read_le32(log.data(), 0x04), log.size() - 4);
    EXPECT_EQ(read_le32(log.data(), 0x08), 0x150u);
    EXPECT_EQ(read_le32(log.data(), 0x0C), 0u) << "no clock the caller did not give";
    EXPECT_EQ(read_le32(log.data(), 0x18), 70000u);
    EXPECT_EQ(read_le32(log.data(), 0x2C), 7670453u);
    EXPECT_EQ(read_le32(log.data(), 0x34), 0x0Cu);
    // 70,000 samples are one full wait and the rest; a wait of 0 writes nothing.
    EXPECT_EQ(Bytes(log.begin() + 0x40, log.end()),
              (Bytes{0x53, 0x42, 0x85, 0x54, 0x08, 0x7D, 0x50, 0x9F, 0x61, 0xFF, 0xFF, 0x61, 0x71, 0x11, 0x66}));
}

TEST(LogWriter, DataStartFollowsVersionAndOffset) {
    // Before 1.50 the data starts at 0x40 whatever the offset says.
    EXPECT_EQ(LogWriter(0x110).data_offset(0x40).end().bytes().size(), 0x41u);
    // From 1.50 on at 0x34 plus the offset, past the header or inside it.
    EXPECT_EQ(LogWriter(0x150).data_offset(0x100).end().bytes().size(), 0x135u);
    const Bytes inside = LogWriter(0x150).data_offset(0x04).end().bytes();
    ASSERT_EQ(inside.size(), 0x39u);
    EXPECT_EQ(inside[0x38], 0x66) << "the commands overwrite the header from the data start";
}

}  // namespace
}  // namespace timbrex
