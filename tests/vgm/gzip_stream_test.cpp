#include "vgm/gzip_stream.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::gzip_member;

using testing::concat;
using testing::pattern_bytes;

// Inflates `file_bytes` into a buffer that starts with `capacity` bytes.
Bytes inflate_all(const Bytes& file_bytes, size_t limit, size_t capacity) {
    LogBuffer log;
    EXPECT_TRUE(reserve_log_bytes(log, capacity));
    EXPECT_TRUE(inflate_gzip(file_bytes.data(), file_bytes.size(), log, limit));
    EXPECT_LE(log.length, limit);
    EXPECT_LE(log.capacity, std::max(capacity, limit)) << "the buffer grows no further than the limit";
    return Bytes(log.bytes.get(), log.bytes.get() + log.length);
}

// The same into a buffer that already holds the whole limit, and into one
// that must grow from a single byte: both give the same bytes.
Bytes read_through(const Bytes& file_bytes, size_t limit) {
    const Bytes roomy = inflate_all(file_bytes, limit, limit);
    EXPECT_EQ(inflate_all(file_bytes, limit, 1), roomy) << "growing the buffer changes nothing";
    return roomy;
}

TEST(GzipStream, OneMemberInflatesExactly) {
    const Bytes data = pattern_bytes(300000, 2);
    EXPECT_EQ(read_through(gzip_member(data), data.size()), data);
    EXPECT_EQ(read_through(gzip_member(data), 1234), Bytes(data.begin(), data.begin() + 1234));
}

TEST(GzipStream, ConsecutiveMembersAreReadOneAfterAnother) {
    const Bytes a = pattern_bytes(70000, 3);
    const Bytes b = pattern_bytes(90000, 4);
    const Bytes c = pattern_bytes(10, 5);
    const Bytes file = concat(concat(gzip_member(a), gzip_member(b)), gzip_member(c));
    EXPECT_EQ(read_through(file, 1 << 20), concat(concat(a, b), c));
}

TEST(GzipStream, DamageKeepsEverythingDecodedBeforeIt) {
    const Bytes data = pattern_bytes(100000, 8);
    Bytes member = gzip_member(data);

    Bytes truncated(member.begin(), member.begin() + static_cast<long>(member.size() / 2));
    const Bytes partial = read_through(truncated, data.size());
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), data.size());
    EXPECT_EQ(partial, Bytes(data.begin(), data.begin() + static_cast<long>(partial.size())));

    Bytes bad_crc = member;
    bad_crc[bad_crc.size() - 8] ^= 0xFF;
    EXPECT_EQ(read_through(bad_crc, data.size()), data) << "a wrong CRC still delivers the data";

    Bytes bad_length = member;
    bad_length[bad_length.size() - 1] ^= 0x01;
    EXPECT_EQ(read_through(concat(bad_length, gzip_member(pattern_bytes(10, 9))), 1 << 20), data)
        << "a member that fails its check ends the read";
}

// A member whose data or check fails marks the log; one cut short, bytes
// after the last member, or a read stopped at the limit do not: they fail no
// check of the data that was there. Both inflaters agree.
TEST(GzipStream, FailedCheckMarksTheLog) {
    const Bytes data = pattern_bytes(100000, 8);
    const Bytes member = gzip_member(data);
    // Damage at a distance from the end: the CRC's first byte, the length's last.
    const auto damaged = [&member](size_t from_end) {
        Bytes copy = member;
        copy.at(copy.size() - from_end) ^= 0xFF;
        return copy;
    };
    const Bytes bad_crc = damaged(8);
    const Bytes bad_length = damaged(1);
    const Bytes bad_data = damaged(member.size() - 20);
    const struct {
        Bytes file;
        size_t limit;
        bool failed;
        const char* what;
    } rows[] = {
        {member, data.size(), false, "a sound member"},
        {concat(member, gzip_member(pattern_bytes(10, 9))), 1 << 20, false, "two sound members"},
        {bad_crc, data.size(), true, "a wrong CRC"},
        {bad_length, 1 << 20, true, "a wrong length"},
        {bad_data, 1 << 20, true, "damaged deflate data"},
        {concat(member, bad_crc), 1 << 20, true, "a sound member, then a damaged one"},
        {Bytes(member.begin(), member.begin() + static_cast<long>(member.size() / 2)), 1 << 20, false, "cut short"},
        {concat(member, {0x00, 0x00, 0x00}), 1 << 20, false, "padding after the member"},
        {bad_crc, 5000, false, "stopped before the damage"},
    };
    for (const auto& row : rows) {
        LogBuffer both;
        ASSERT_TRUE(inflate_gzip(row.file.data(), row.file.size(), both, row.limit));
        EXPECT_EQ(both.failed_check, row.failed) << row.what;
        LogBuffer zlib_alone;
        ASSERT_TRUE(inflate_members_streaming(row.file.data(), row.file.size(), zlib_alone, row.limit));
        EXPECT_EQ(zlib_alone.failed_check, row.failed) << row.what << ", zlib alone";
    }
}

TEST(GzipStream, TrailingGarbageAfterAMemberIsIgnored) {
    const Bytes data = pattern_bytes(5000, 10);
    EXPECT_EQ(read_through(concat(gzip_member(data), Bytes{'j', 'u', 'n', 'k', 0x1F}), 1 << 20), data);
    EXPECT_EQ(read_through(concat(gzip_member(data), Bytes{0x1F, 0x8B}), 1 << 20), data)
        << "a bare magic with nothing behind it adds nothing";
}

TEST(GzipStream, HighlyCompressibleDataGrowsTheBufferToTheLimit) {
    // Silence inflates about a thousandfold: far past any buffer sized by the
    // compressed length.
    const Bytes data(6000000, 0x62);
    const Bytes member = gzip_member(data);
    EXPECT_EQ(read_through(member, data.size()), data);
    EXPECT_EQ(read_through(member, 2500000), Bytes(data.begin(), data.begin() + 2500000)) << "the limit still holds";

    LogBuffer reused;
    ASSERT_TRUE(reserve_log_bytes(reused, data.size() + 100));
    ASSERT_TRUE(inflate_gzip(member.data(), member.size(), reused, 1000));
    EXPECT_EQ(reused.length, 1000u) << "a larger buffer left by an earlier log does not raise the limit";
}

TEST(GzipStream, GrowthKeepsWhatWasDeliveredBefore) {
    LogBuffer log;
    ASSERT_TRUE(reserve_log_bytes(log, 3));
    log.bytes[0] = 7;
    log.bytes[1] = 8;
    log.bytes[2] = 9;
    log.length = 3;
    ASSERT_TRUE(reserve_log_bytes(log, 1 << 20));
    EXPECT_GE(log.capacity, size_t{1} << 20);
    EXPECT_EQ(Bytes(log.bytes.get(), log.bytes.get() + 3), (Bytes{7, 8, 9}));
    EXPECT_EQ(next_log_capacity(1 << 20, 1 << 30), size_t{2} << 20) << "geometric";
    EXPECT_EQ(next_log_capacity(1 << 29, (1 << 29) + 5), (size_t{1} << 29) + 5) << "never past the limit";
    EXPECT_EQ(next_log_capacity(10, 1 << 30), 10 + (size_t{1} << 20)) << "small buffers grow by a megabyte at least";
}

}  // namespace
}  // namespace timbrex
