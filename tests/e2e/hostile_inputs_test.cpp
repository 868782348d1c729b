// The built binary fed broken, truncated, lying and unreadable inputs, one row
// per case: each row's exact standard output and the exact set of files the run
// adds to its start directory. Every run must exit with status 0 and print
// nothing on standard error, which also catches sanitizer and leak reports
// when the binary is built with TIMBREX_SANITIZE.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "bytes.h"
#include "expected_lines.h"
#include "host.h"
#include "output/voice_file.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::gzip_member;
using testing::sample_voice;
using testing::VgmWriter;

const VoiceRecord kFirst = sample_voice(1, 4);
const VoiceRecord kSecond = sample_voice(2, 0);

using testing::append_le32;
using testing::put_le32;
using testing::with_trailer_size;
std::string processing(const std::string& path) { return testing::processing_line(path); }
std::string found(int n) { return testing::instruments_found_line(n); }
std::string no_vgm(const std::string& path) { return "ERR: No VGM found in file '" + path + "'\n"; }
std::string cant_open(const std::string& path) { return "ERR: Can't open file '" + path + "'\n"; }
std::string cant_alloc(const std::string& path) { return "ERR: Can't alloc memory for file '" + path + "'\n"; }
// "{dir}" stands for the absolute path of the start directory.
std::string cant_save(const std::string& name) {
    return "ERR: Can't save file '{dir}" + std::string(1, testing::kSeparator) + name + "'\n";
}

using testing::concat;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A log whose first voice is keyed on once: one instrument, kFirst.
Bytes one_voice_log() {
    return VgmWriter(0x150).ym2612_voice(0, kFirst).ym2612_key_on(0).wait(735).ym2612_key_off(0).end().bytes();
}

Bytes second_voice_log() { return VgmWriter(0x150).ym2612_voice(2, kSecond).ym2612_key_on(2).wait(735).end().bytes(); }

uint32_t crc32_of(const Bytes& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A gzip member whose deflate data is stored, not compressed: every byte of the
// log sits at a known place in the file, so truncation points are exact.
Bytes stored_gzip(const Bytes& data) {
    Bytes out{0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(data.size() - at, 0xFFFF);
        const bool last = at + length == data.size();
        out.push_back(last ? 0x01 : 0x00);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
    append_le32(out, crc32_of(data));
    append_le32(out, static_cast<uint32_t>(data.size()));
    return out;
}

// 4096 bytes from a fixed random value; std::mt19937's output is the same on
// every platform. The last four bytes are 5D 21 D7 A7, so as a trailer they
// announce 0xA7D7215D bytes (2^31 or more); the first 4093 bytes end in
// .. 5D, announcing less than 2^31.
Bytes garbage(size_t size) {
    std::mt19937 generator(20240611u);
    Bytes bytes(4096);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
    bytes.resize(size);
    return bytes;
}

using Prepare = std::function<std::vector<std::string>(const std::string& dir)>;

// Writes one file and passes its name as the only argument.
Prepare file(const std::string& name, const Bytes& data) {
    return [name, data](const std::string& dir) {
        testing::write_file(dir + "/" + name, data);
        return std::vector<std::string>{name};
    };
}

// Runs `first`, then `then` on the same directory; the arguments are those of `first`.
Prepare and_then(Prepare first, std::function<void(const std::string& dir)> then) {
    return [first, then](const std::string& dir) {
        std::vector<std::string> arguments = first(dir);
        then(dir);
        return arguments;
    };
}

struct Row {
    std::string name;
    Prepare prepare;
    std::string out;
    std::map<std::string, VoiceRecord> outputs;  // files the run adds, with the voice each holds
    testing::RunLimits limits = {};              // how the run is started
    std::string posix_only = std::string();      // what the row needs that only POSIX has
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

testing::RunLimits as_nobody() {
    testing::RunLimits limits;
    limits.unprivileged = true;
    return limits;
}

testing::RunLimits file_size_limit(long long bytes) {
    testing::RunLimits limits;
    limits.file_size = bytes;
    return limits;
}

std::vector<Row> rows() {
    const Bytes log = one_voice_log();
    const Bytes header = VgmWriter(0x150).bytes();
    std::vector<Row> r;

    // Too short to be anything.
    r.push_back({"EmptyFile", file("empty.vgm", {}), no_vgm("empty.vgm") + found(0), {}});
    r.push_back({"OneByte", file("one.vgm", text("V")), no_vgm("one.vgm") + found(0), {}});
    r.push_back({"GzipMagicAlone", file("two.vgz", {0x1F, 0x8B}), no_vgm("two.vgz") + found(0), {}});
    r.push_back({"ThreeBytes", file("three.vgm", text("Vgm")), no_vgm("three.vgm") + found(0), {}});
    r.push_back({"IdentifierAlone", file("ident.vgm", text("Vgm ")), no_vgm("ident.vgm") + found(0), {}});
    r.push_back({"HeaderCutBeforeTheDataOffset",
                 file("cut.vgm", Bytes(header.begin(), header.begin() + 0x37)),
                 no_vgm("cut.vgm") + found(0),
                 {}});
    r.push_back({"HeaderOf0x38Bytes",
                 file("least.vgm", Bytes(header.begin(), header.begin() + 0x38)),
                 processing("least.vgm") + found(0),
                 {}});
    r.push_back({"HeaderOnly", file("header.vgm", header), processing("header.vgm") + found(0), {}});

    // Not a regular file, or not there.
    r.push_back({"DirectoryNamedLikeALog",
                 [](const std::string& dir) {
                     fs::create_directory(dir + "/folder.vgm");
                     return std::vector<std::string>{"folder.vgm"};
                 },
                 cant_open("folder.vgm") + found(0),
                 {}});
    r.push_back({"MissingFile",
                 [](const std::string&) { return std::vector<std::string>{"missing.vgm"}; },
                 cant_open("missing.vgm") + found(0),
                 {}});
    r.push_back({"FifoNamedLikeALog",
                 [](const std::string& dir) {
                     if (!testing::make_fifo(dir + "/pipe.vgm")) throw std::runtime_error("mkfifo");
                     return std::vector<std::string>{"pipe.vgm"};
                 },
                 cant_open("pipe.vgm") + found(0),
                 {},
                 {},
                 "FIFOs"});
    r.push_back({"LinkToAnEndlessDevice",
                 [](const std::string& dir) {
                     fs::create_symlink("/dev/zero", dir + "/zero.vgz");
                     return std::vector<std::string>{"zero.vgz"};
                 },
                 cant_open("zero.vgz") + found(0),
                 {},
                 {},
                 "/dev/zero"});
    // A reserved device name, whatever its suffix, opens a device on Windows;
    // elsewhere it names no file.
    r.push_back({"DeviceNameWithALogSuffix",
                 [](const std::string&) { return std::vector<std::string>{"nul.vgm"}; },
                 cant_open("nul.vgm") + found(0),
                 {}});

    // Plain logs whose size cannot be held.
    r.push_back({"PlainLogOfTwoGigabytes",
                 [](const std::string& dir) {
                     testing::write_file(dir + "/big.vgm", text("Vgm "));
                     fs::resize_file(dir + "/big.vgm", 0x80000000u);  // sparse: no disk space used
                     return std::vector<std::string>{"big.vgm"};
                 },
                 cant_alloc("big.vgm") + found(0),
                 {}});

    // Lying or damaged gzip trailers: the last four bytes are the announced size.
    Bytes bad_crc = stored_gzip(log);
    bad_crc[bad_crc.size() - 8] ^= 0xFF;
    r.push_back({"GzipWrongCrc", file("crc.vgz", bad_crc), processing("crc.vgz") + found(1), {{"crc_0.vpf", kFirst}}});
    r.push_back({"GzipTrailerSmallerThanTheLog",
                 file("small.vgz", with_trailer_size(gzip_member(log), 0x40)),
                 processing("small.vgz") + found(0),
                 {}});
    r.push_back({"GzipTrailerLargerThanTheLog",
                 file("large.vgz", with_trailer_size(gzip_member(log), static_cast<uint32_t>(log.size()) + 100000)),
                 processing("large.vgz") + found(1),
                 {{"large_0.vpf", kFirst}}});
    r.push_back({"GzipZeroTrailer",
                 file("zero.vgz", with_trailer_size(gzip_member(log), 0)),
                 no_vgm("zero.vgz") + found(0),
                 {}});
    r.push_back({"GzipTrailerOf2GiB",
                 file("huge.vgz", with_trailer_size(gzip_member(log), 0x80000000u)),
                 cant_alloc("huge.vgz") + found(0),
                 {}});
    r.push_back({"GzipTrailerOf4GiBMinusOne",
                 file("huge.vgz", with_trailer_size(gzip_member(log), 0xFFFFFFFFu)),
                 cant_alloc("huge.vgz") + found(0),
                 {}});
    // Accepted, yet only what the file can deliver is reserved.
    r.push_back({"GzipTrailerJustBelow2GiB",
                 file("claim.vgz", with_trailer_size(gzip_member(log), 0x7FFFFFFFu)),
                 processing("claim.vgz") + found(1),
                 {{"claim_0.vpf", kFirst}}});
    {
        // Without its last byte the trailer reads CRC byte 3 then ISIZE bytes
        // 0-2: ISIZE * 256 plus a byte, more than the log, which arrives whole.
        const Bytes member = stored_gzip(log);
        r.push_back({"GzipTrailerCutByOneByte",
                     file("cut1.vgz", Bytes(member.begin(), member.end() - 1)),
                     processing("cut1.vgz") + found(1),
                     {{"cut1_0.vpf", kFirst}}});
        // Without three, ISIZE byte 0 becomes the top byte: a log of 0x??90
        // bytes then announces 2^31 or more.
        Bytes padded = log;
        while ((padded.size() & 0xFF) != 0x90) padded.push_back(0x00);  // after the end command: never read
        const Bytes padded_member = stored_gzip(padded);
        r.push_back({"GzipTrailerCutByThreeBytes",
                     file("cut3.vgz", Bytes(padded_member.begin(), padded_member.end() - 3)),
                     cant_alloc("cut3.vgz") + found(0),
                     {}});
    }
    {
        // The voice's registers in the first member, its key-on in the second.
        // Only the second member's trailer counts: it must cover both.
        const Bytes registers = VgmWriter(0x150).ym2612_voice(0, kFirst).bytes();
        const Bytes key_on = VgmWriter().ym2612_key_on(0).ym2612_key_off(0).end().commands();
        const Bytes long_tail = concat(key_on, Bytes(1000, 0x00));
        r.push_back({"TwoGzipMembers",
                     file("two.vgz", concat(gzip_member(registers), gzip_member(long_tail))),
                     processing("two.vgz") + found(1),
                     {{"two_0.vpf", kFirst}}});
        // A short second member announces only its own 7 bytes.
        r.push_back({"TwoGzipMembersWithAShortSecond",
                     file("short.vgz", concat(gzip_member(registers), gzip_member(key_on))),
                     no_vgm("short.vgz") + found(0),
                     {}});
    }
    {
        // A stored member cut right after a data block's length field: the
        // file's last four bytes are that length, 0x1000, and everything
        // before the cut is delivered. The block itself is not all there.
        const Bytes keyed = VgmWriter(0x150).ym2612_voice(0, kFirst).ym2612_key_on(0).bytes();
        const Bytes block_header{0x67, 0x66, 0x00, 0x00, 0x10, 0x00, 0x00};
        const Bytes member = stored_gzip(concat(concat(keyed, block_header), Bytes(200, 0x80)));
        const size_t cut = 10 + 5 + keyed.size() + block_header.size();  // gzip header, stored block header
        r.push_back({"TruncatedGzipMember",
                     file("torn.vgz", Bytes(member.begin(), member.begin() + static_cast<std::ptrdiff_t>(cut))),
                     processing("torn.vgz") + found(1),
                     {{"torn_0.vpf", kFirst}}});
    }
    r.push_back({"GzipMemberFollowedByJunk",
                 file("junk.vgz", concat(gzip_member(log), Bytes{'j', 'u', 'n', 'k', 0x00, 0x10, 0x00, 0x00})),
                 processing("junk.vgz") + found(1),
                 {{"junk_0.vpf", kFirst}}});

    // Data offsets and commands that point beyond the data.
    {
        Bytes far = log;
        put_le32(far, 0x34, 0x1000);
        r.push_back({"DataOffsetPastTheEnd", file("far.vgm", far), processing("far.vgm") + found(0), {}});
        // 0x34 + 0xFFFFFFF0 wraps to 0x24 in 32 bits, where a voice with an
        // attack rate is keyed on: wrapping would find an instrument.
        Bytes wrap = log;
        put_le32(wrap, 0x34, 0xFFFFFFF0u);
        const Bytes in_header{0x52, 0x50, 0x1F, 0x52, 0x28, 0xF0, 0x66};
        std::copy(in_header.begin(), in_header.end(), wrap.begin() + 0x24);
        r.push_back({"DataOffsetOverflowing", file("wrap.vgm", wrap), processing("wrap.vgm") + found(0), {}});
    }
    r.push_back({"DataBlockOfLengthFFFFFFFF",
                 file("block.vgm", VgmWriter(0x150)
                                       .ym2612_voice(0, kFirst)
                                       .ym2612_key_on(0)
                                       .raw({0x67, 0x66, 0x00, 0xFF, 0xFF, 0xFF, 0xFF})
                                       .ym2612_voice(1, kSecond)
                                       .ym2612_key_on(1)
                                       .end()
                                       .bytes()),
                 processing("block.vgm") + found(1),
                 {{"block_0.vpf", kFirst}}});
    r.push_back({"CommandCutAtTheEnd",
                 file("end.vgm", VgmWriter(0x150)
                                     .ym2612_voice(0, kFirst)
                                     .ym2612_key_on(0)
                                     .ym2612_voice(1, kSecond)
                                     .raw({0x52, 0x28})
                                     .bytes()),
                 processing("end.vgm") + found(1),
                 {{"end_0.vpf", kFirst}}});

    {
        // Files are read into one buffer in turn. The second log is the first
        // with another voice and without its key-on: a walk running on into
        // what the first left in the buffer would key that voice on.
        const Bytes longer = VgmWriter(0x150).ym2612_voice(1, kFirst).ym2612_key_on(1).end().bytes();
        const Bytes shorter = VgmWriter(0x150).ym2612_voice(1, kSecond).bytes();
        r.push_back({"LeftoversOfALongerLogAreNotRead",
                     [longer, shorter](const std::string& dir) {
                         file("longer.vgm", longer)(dir);
                         file("shorter.vgm", shorter)(dir);
                         return std::vector<std::string>{"longer.vgm", "shorter.vgm"};
                     },
                     processing("longer.vgm") + processing("shorter.vgm") + found(1),
                     {{"longer_0.vpf", kFirst}}});
    }

    // Random bytes: copied as they are, so never a log; only the size differs.
    r.push_back(
        {"RandomGarbageAnnouncingOver2GiB", file("noise.vgz", garbage(4096)), cant_alloc("noise.vgz") + found(0), {}});
    r.push_back({"RandomGarbage", file("noise.vgz", garbage(4093)), no_vgm("noise.vgz") + found(0), {}});
    {
        Bytes fake = garbage(4093);
        fake[0] = 0x1F;
        fake[1] = 0x8B;
        fake[2] = 0x08;
        fake[3] = 0x00;
        r.push_back({"RandomGarbageAfterAGzipHeader", file("fake.vgz", fake), no_vgm("fake.vgz") + found(0), {}});
    }

    // Outputs that cannot be written. Root ignores permissions, so the
    // read-only directory is tried as nobody.
    r.push_back({"ReadOnlyStartDirectory",
                 and_then(file("song.vgm", log), [](const std::string& dir) { testing::set_mode(dir, 0555); }),
                 processing("song.vgm") + found(1) + cant_save("song_0.vpf"),
                 {},
                 as_nobody(),
                 "permission bits"});
    // A file may be created but not one byte written, or only part of the 42:
    // what was created is removed again.
    r.push_back({"NoRoomForAnyByte",
                 file("song.vgm", log),
                 processing("song.vgm") + found(1) + cant_save("song_0.vpf"),
                 {},
                 file_size_limit(0),
                 "file size limits"});
    r.push_back({"WriteFailsHalfWay",
                 file("song.vgm", log),
                 processing("song.vgm") + found(1) + cant_save("song_0.vpf"),
                 {},
                 file_size_limit(21),
                 "file size limits"});
    r.push_back({"RoomForExactlyOneFile",
                 file("song.vgm", log),
                 processing("song.vgm") + found(1),
                 {{"song_0.vpf", kFirst}},
                 file_size_limit(42),
                 "file size limits"});
    r.push_back(
        {"OutputNameTakenByADirectory",
         and_then(file("song.vgm", log), [](const std::string& dir) { fs::create_directory(dir + "/song_0.vpf"); }),
         processing("song.vgm") + found(1) + cant_save("song_0.vpf"),
         {}});
    r.push_back({"OutputNameLinksToAFullDevice",
                 and_then(file("song.vgm", log),
                          [](const std::string& dir) { fs::create_symlink("/dev/full", dir + "/song_0.vpf"); }),
                 processing("song.vgm") + found(1) + cant_save("song_0.vpf"),
                 {},
                 {},
                 "/dev/full"});

    // Blanks, dots, UTF-8 and a Latin-1 byte: printed as given, named by the
    // part before the first dot with blanks made "_".
    const std::string odd = "Th\xE9me d'\xC3\xA9t\xC3\xA9 .final.v2.vgz";
    r.push_back({"NameWithBlanksDotsAndNonAscii",
                 file(odd, gzip_member(log)),
                 processing(odd) + found(1),
                 {{"Th\xE9me_d'\xC3\xA9t\xC3\xA9__0.vpf", kFirst}}});

    // One run over a mix: each bad file is reported and the next one is read.
    r.push_back({"TheRunGoesOnAfterEveryBadFile",
                 [log](const std::string& dir) {
                     file("first.vgm", log)(dir);
                     file("empty.vgm", {})(dir);
                     fs::create_directory(dir + "/folder.vgm");
                     file("huge.vgz", with_trailer_size(gzip_member(log), 0x80000000u))(dir);
                     file("noise.vgz", garbage(4093))(dir);
                     file("torn.vgz", Bytes(log.begin(), log.begin() + 0x50))(dir);
                     file("last.vgm", second_voice_log())(dir);
                     return std::vector<std::string>{"first.vgm", "empty.vgm", "folder.vgm", "missing.vgm",
                                                     "huge.vgz",  "noise.vgz", "torn.vgz",   "last.vgm"};
                 },
                 processing("first.vgm") + no_vgm("empty.vgm") + cant_open("folder.vgm") + cant_open("missing.vgm") +
                     cant_alloc("huge.vgz") + no_vgm("noise.vgz") + processing("torn.vgz") + processing("last.vgm") +
                     found(2),
                 {{"first_0.vpf", kFirst}, {"last_1.vpf", kSecond}}});
    return r;
}

std::string row_name(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }

// Every entry of a directory and its own type, links not followed.
std::map<std::string, fs::file_type> entries(const std::string& dir) {
    std::map<std::string, fs::file_type> listing;
    for (const auto& entry : fs::directory_iterator(testing::to_path(dir))) {
        listing[testing::from_path(entry.path().filename())] = entry.symlink_status().type();
    }
    return listing;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class HostileInput : public ::testing::TestWithParam<Row> {};

TEST_P(HostileInput, PrintsExactlyAndAddsExactlyTheExpectedFiles) {
    const Row& row = GetParam();
    if (!row.posix_only.empty()) TIMBREX_SKIP_UNLESS_POSIX(row.posix_only);
    const testing::TempDir dir;
    const std::vector<std::string> arguments = row.prepare(dir.path());
    const std::map<std::string, fs::file_type> before = entries(dir.path());

    const testing::RunResult result = testing::run_timbrex(dir.path(), arguments, row.limits);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, replace_all(row.out, "{dir}", testing::real_path(dir.path())));

    const std::map<std::string, fs::file_type> after = entries(dir.path());
    for (const auto& [name, type] : before) {
        const auto kept = after.find(name);
        ASSERT_NE(kept, after.end()) << name << " was removed";
        EXPECT_EQ(kept->second, type) << name << " was replaced";
    }
    std::vector<std::string> added;
    for (const auto& [name, type] : after) {
        if (before.count(name) == 0) added.push_back(name);
    }
    std::vector<std::string> expected;
    for (const auto& [name, voice] : row.outputs) expected.push_back(name);
    EXPECT_EQ(added, expected);

    for (const auto& [name, voice] : row.outputs) {
        if (after.count(name) == 0) continue;
        EXPECT_EQ(after.at(name), fs::file_type::regular) << name;
        const VoiceFileBytes want = voice_file_bytes(voice);
        EXPECT_EQ(testing::read_file(dir / name), Bytes(want.begin(), want.end())) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInput, ::testing::ValuesIn(rows()), row_name);

}  // namespace
}  // namespace timbrex
