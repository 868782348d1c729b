#include "vgm/gzip_stream.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::gzip_member;

Bytes pattern(size_t n, uint8_t salt) {
    Bytes data(n);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>((i * 31 + salt) ^ (i >> 7));
    return data;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Reads `file_bytes` through the reader with the given limit.
Bytes read_through(const Bytes& file_bytes, size_t limit) {
    testing::TempDir dir;
    const std::string path = dir / "input";
    testing::write_file(path, file_bytes);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    Bytes out(limit);
    out.resize(read_gzip_or_plain(file, out.data(), limit));
    std::fclose(file);
    return out;
}

TEST(GzipStream, PlainDataPassesThroughUpToTheLimit) {
    const Bytes data = pattern(200000, 1);
    EXPECT_EQ(read_through(data, data.size()), data);
    EXPECT_EQ(read_through(data, 1000), Bytes(data.begin(), data.begin() + 1000));
    EXPECT_EQ(read_through(data, 500000), data) << "a limit beyond the data delivers what is there";
    EXPECT_TRUE(read_through(Bytes{}, 10).empty());
    EXPECT_EQ(read_through(Bytes{0x1F}, 10), Bytes{0x1F}) << "half a magic is plain data";
}

TEST(GzipStream, OneMemberInflatesExactly) {
    const Bytes data = pattern(300000, 2);
    EXPECT_EQ(read_through(gzip_member(data), data.size()), data);
    EXPECT_EQ(read_through(gzip_member(data), 1234), Bytes(data.begin(), data.begin() + 1234));
}

TEST(GzipStream, ConsecutiveMembersAreReadOneAfterAnother) {
    const Bytes a = pattern(70000, 3);
    const Bytes b = pattern(90000, 4);
    const Bytes c = pattern(10, 5);
    const Bytes file = concat(concat(gzip_member(a), gzip_member(b)), gzip_member(c));
    EXPECT_EQ(read_through(file, 1 << 20), concat(concat(a, b), c));
}

Bytes noise(size_t n) {
    Bytes data(n);
    uint32_t x = 2463534242u;
    for (uint8_t& byte : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t>(x);
    }
    return data;
}

TEST(GzipStream, MemberBoundaryAcrossTheReadChunk) {
    // Incompressible data makes the member size follow the data size, so a
    // first member of 65535 bytes puts the next magic across the reader's
    // 64 KiB chunk edge.
    const Bytes second = pattern(5000, 7);
    for (size_t n = 65400; n < 65535; ++n) {
        const Bytes data = noise(n);
        const Bytes member = gzip_member(data);
        if (member.size() != 65535) continue;
        EXPECT_EQ(read_through(concat(member, gzip_member(second)), 1 << 20), concat(data, second));
        return;
    }
    FAIL() << "no data size gave a 65535-byte member";
}

TEST(GzipStream, DamageKeepsEverythingDecodedBeforeIt) {
    const Bytes data = pattern(100000, 8);
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
    EXPECT_EQ(read_through(concat(bad_length, gzip_member(pattern(10, 9))), 1 << 20), data)
        << "a member that fails its check ends the read";
}

TEST(GzipStream, TrailingGarbageAfterAMemberIsIgnored) {
    const Bytes data = pattern(5000, 10);
    EXPECT_EQ(read_through(concat(gzip_member(data), Bytes{'j', 'u', 'n', 'k', 0x1F}), 1 << 20), data);
    EXPECT_EQ(read_through(concat(gzip_member(data), Bytes{0x1F, 0x8B}), 1 << 20), data)
        << "a bare magic with nothing behind it adds nothing";
}

}  // namespace
}  // namespace timbrex
