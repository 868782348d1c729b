// libdeflate takes the gzip members it can decode whole; from the first one it
// cannot, zlib's streaming inflater decodes as it always did. Every row of the
// table is read both ways, libdeflate first and zlib alone, and must give the
// same bytes; each row also says how many members libdeflate must take, so
// that a libdeflate path that never decodes anything cannot pass unnoticed.

#include "vgm/whole_members.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "bytes.h"
#include "vgm/gzip_stream.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;

using testing::concat;
using testing::pattern_bytes;

uint32_t crc_of(const Bytes& data) {
    return static_cast<uint32_t>(::crc32(0, data.data(), static_cast<uInt>(data.size())));
}

// The deflate stream inside a member written by the project's VGM writer,
// whose header is the plain 10 bytes and whose trailer is 8.
Bytes deflated(const Bytes& data) {
    const Bytes member = testing::gzip_member(data);
    return Bytes(member.begin() + 10, member.end() - 8);
}

// Deflate's stored blocks: no compression, at most 65535 bytes each.
Bytes stored(const Bytes& data) {
    Bytes out;
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(data.size() - at, 65535);
        out.push_back(at + n == data.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(~n));
        out.push_back(static_cast<uint8_t>(~n >> 8));
        out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
        at += n;
    } while (at < data.size());
    return out;
}

constexpr uint8_t kHeaderCrc = 0x02;
constexpr uint8_t kExtra = 0x04;
constexpr uint8_t kName = 0x08;
constexpr uint8_t kComment = 0x10;

struct Header {
    uint8_t method = 8;
    uint8_t flags = 0;
    bool header_crc_right = true;
};

// A whole member around `stream`, the deflate stream of `data`.
Bytes member(const Bytes& data, const Bytes& stream, const Header& header = {}) {
    Bytes out = {0x1F, 0x8B, header.method, header.flags, 0x12, 0x34, 0x56, 0x78, 0x02, 0x03};
    if (header.flags & kExtra) out.insert(out.end(), {4, 0, 'A', 'B', 2, 0});
    if (header.flags & kName) out.insert(out.end(), {'s', 'o', 'n', 'g', '.', 'v', 'g', 'm', 0});
    if (header.flags & kComment) out.insert(out.end(), {'h', 'i', 0});
    if (header.flags & kHeaderCrc) {
        const uint32_t check = (crc_of(out) & 0xFFFF) ^ (header.header_crc_right ? 0 : 1);
        out.push_back(static_cast<uint8_t>(check));
        out.push_back(static_cast<uint8_t>(check >> 8));
    }
    out = concat(out, stream);
    testing::append_le32(out, crc_of(data));
    testing::append_le32(out, static_cast<uint32_t>(data.size()));
    return out;
}

Bytes member(const Bytes& data, const Header& header = {}) { return member(data, deflated(data), header); }

Bytes flipped(Bytes bytes, size_t from_end) {
    bytes[bytes.size() - from_end] ^= 0x01;
    return bytes;
}

Bytes cut(const Bytes& bytes, size_t keep) { return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(keep)); }

struct Row {
    std::string name;
    Bytes file;
    size_t limit;
    size_t capacity;  // the buffer before the read
    size_t whole;     // input bytes libdeflate must take: the members it decodes
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

std::vector<Row> rows() {
    const Bytes data = pattern_bytes(100000, 1);
    const Bytes other = pattern_bytes(70000, 2);
    const Bytes first = member(data);
    const Bytes second = member(other);
    const Bytes empty = member(Bytes{});
    const Bytes plain = member(data, stored(data));
    const Bytes named = member(data, Header{8, kExtra | kName | kComment});
    const size_t n = data.size();
    const size_t both = n + other.size();
    const Bytes two = concat(first, second);

    std::vector<Row> r;
    r.push_back({"OneMember", first, n, n, first.size()});
    r.push_back({"EmptyMember", empty, n, n, empty.size()});
    r.push_back({"StoredBlocks", plain, n, n, plain.size()});
    r.push_back({"NameExtraAndComment", named, n, n, named.size()});
    r.push_back({"HeaderCrcRight", member(data, Header{8, kHeaderCrc | kName}), n, n, 0});
    r.push_back({"HeaderCrcWrong", member(data, Header{8, kHeaderCrc, false}), n, n, 0});
    r.push_back({"ReservedFlag", member(data, Header{8, 0x20}), n, n, 0});
    r.push_back({"MethodNotDeflate", member(data, Header{7, 0}), n, n, 0});
    r.push_back({"BadCrc", flipped(first, 8), n, n, 0});
    r.push_back({"BadLength", flipped(first, 1), n, n, 0});
    r.push_back({"CorruptStream", flipped(first, first.size() / 2), n, n, 0});
    r.push_back({"JunkAfter", concat(first, {'j', 'u', 'n', 'k'}), n, n, first.size()});
    r.push_back({"BareMagicAfter", concat(first, {0x1F, 0x8B}), both, both, first.size()});
    r.push_back({"MagicAndJunkAfter", concat(first, {0x1F, 0x8B, 8, 0, 'x', 'y'}), both, both, first.size()});
    r.push_back({"TwoMembers", two, both, both, two.size()});
    r.push_back({"ThreeMembersOneEmpty", concat(concat(first, empty), second), both, both, two.size() + empty.size()});
    r.push_back({"SecondTruncated", concat(first, cut(second, 300)), both, both, first.size()});
    r.push_back({"SecondBadCrc", concat(first, flipped(second, 8)), both, both, first.size()});
    r.push_back({"FirstBadCrcSecondFine", concat(flipped(first, 8), second), both, both, 0});
    // A file's trailer announces the limit: smaller or larger than the data.
    r.push_back({"LimitZero", first, 0, 1, 0});
    r.push_back({"LimitOne", first, 1, 1, 0});
    r.push_back({"LimitOneShort", first, n - 1, n - 1, 0});
    r.push_back({"LimitBeyond", first, n + 5000, n + 5000, first.size()});
    r.push_back({"LimitInsideSecond", two, n + 10, n + 10, first.size()});
    r.push_back({"LimitAtFirstEnd", two, n, n, first.size()});
    // A buffer smaller than a member: zlib takes that member and grows the buffer.
    r.push_back({"SmallBuffer", first, n, 1000, 0});
    r.push_back({"SmallBufferForSecond", two, both, n + 10, first.size()});
    for (size_t keep = 0; keep < first.size(); keep += first.size() / 37 + 1) {
        r.push_back({"TruncatedAt" + std::to_string(keep), cut(first, keep), n, n, 0});
    }
    for (size_t lost = 1; lost <= 12; ++lost) {
        r.push_back({"LastBytesLost" + std::to_string(lost), cut(first, first.size() - lost), n, n, 0});
    }
    return r;
}

Bytes delivered(const LogBuffer& log) { return Bytes(log.bytes.get(), log.bytes.get() + log.length); }

class WholeMembers : public ::testing::TestWithParam<Row> {};

TEST_P(WholeMembers, GiveExactlyWhatZlibAloneGives) {
    const Row& row = GetParam();
    LogBuffer zlib_alone;
    ASSERT_TRUE(reserve_log_bytes(zlib_alone, row.capacity));
    ASSERT_TRUE(inflate_members_streaming(row.file.data(), row.file.size(), zlib_alone, row.limit));

    LogBuffer both;
    ASSERT_TRUE(reserve_log_bytes(both, row.capacity));
    ASSERT_TRUE(inflate_gzip(row.file.data(), row.file.size(), both, row.limit));
    EXPECT_EQ(delivered(both), delivered(zlib_alone));

    LogBuffer fast;
    ASSERT_TRUE(reserve_log_bytes(fast, row.capacity));
    EXPECT_EQ(inflate_whole_members(row.file.data(), row.file.size(), fast, row.limit), row.whole)
        << "input taken by libdeflate";
    EXPECT_EQ(fast.capacity, row.capacity) << "libdeflate never grows the buffer";
}

std::string row_name(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, WholeMembers, ::testing::ValuesIn(rows()), row_name);

}  // namespace
}  // namespace timbrex
