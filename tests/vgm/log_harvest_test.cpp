#include "vgm/log_harvest.h"

#include <gtest/gtest.h>

#include "bytes.h"
#include "run_binary.h"
#include "vgm/log_reader.h"
#include "vgm/vgm_header.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::VgmWriter;

TEST(VgmHeaderTest, VersionDigitsAndDataStart) {
    struct Case {
        uint32_t version;
        uint32_t offset;
        uint64_t start;
    };
    // Before 1.50 the stream starts at 0x40 whatever stands at 0x34; from 1.50
    // on at 0x34 plus the offset, which is not corrected when it is 0.
    const Case cases[] = {
        {0x101, 0x99, 0x40},  {0x110, 0x99, 0x40}, {0x150, 0x0C, 0x40}, {0x150, 0x00, 0x34}, {0x161, 0xCC, 0x100},
        {0x171, 0xE1, 0x115}, {0x200, 0x0C, 0x40}, {0x132, 0x20, 0x54}, {0x131, 0x20, 0x40},
    };
    for (const Case& c : cases) {
        Bytes log = VgmWriter(c.version).data_offset(0x0C).end().bytes();
        log.resize(0x100, 0);
        log[0x34] = static_cast<uint8_t>(c.offset);
        VgmHeader header;
        ASSERT_TRUE(parse_vgm_header(log.data(), log.size(), header));
        EXPECT_EQ(header.data_start, c.start) << std::hex << c.version;
    }
    Bytes far = VgmWriter(0x150).bytes();
    far[0x34] = far[0x35] = far[0x36] = far[0x37] = 0xFF;
    VgmHeader header;
    ASSERT_TRUE(parse_vgm_header(far.data(), far.size(), header));
    EXPECT_EQ(header.data_start, uint64_t{0x34} + 0xFFFFFFFFu) << "no wrap-around";
}

TEST(VgmHeaderTest, RejectsShortOrForeignData) {
    Bytes log = VgmWriter(0x150).bytes();
    VgmHeader header;
    EXPECT_TRUE(parse_vgm_header(log.data(), 0x38, header));
    EXPECT_FALSE(parse_vgm_header(log.data(), 0x37, header)) << "too short to hold the data offset";
    log[3] = 'X';
    EXPECT_FALSE(parse_vgm_header(log.data(), log.size(), header));
}

TEST(VgmHeaderTest, BcdDigits) {
    EXPECT_EQ(bcd_to_int(0x50), 50);
    EXPECT_EQ(bcd_to_int(0x01), 1);
    EXPECT_EQ(bcd_to_int(0x10), 10);
    EXPECT_EQ(bcd_to_int(0x1A), 20) << "invalid digits count as their nibble value";
    EXPECT_EQ(bcd_to_int(0xFF), 165);
}

TEST(AnnouncedSize, PlainLengthOrGzipTrailer) {
    const uint8_t vgm[4] = {'V', 'g', 'm', ' '};
    const uint8_t gz[4] = {0x1F, 0x8B, 8, 0};
    EXPECT_EQ(announced_size(vgm, 4, 5000, 123), 5000);
    EXPECT_EQ(announced_size(gz, 4, 5000, 123), 123);
    EXPECT_EQ(announced_size(gz, 4, 5000, 0x7FFFFFFF), 0x7FFFFFFF);
    EXPECT_EQ(announced_size(gz, 4, 5000, 0x80000000u), -1) << "2^31 does not fit a signed 32-bit size";
    EXPECT_EQ(announced_size(vgm, 3, 3, 0), 0) << "three bytes are no identifier";
}

TEST(TrustedCapacity, TrailerTakenAtItsWordUpTo32TimesTheCompressedSizeAndAMegabyte) {
    struct Case {
        uint64_t announced;
        uint64_t compressed;
        size_t trusted;
        const char* why;
    };
    constexpr size_t kMiB = size_t{1} << 20;
    const Case cases[] = {
        {kMiB, 1000, kMiB, "a log of a megabyte is trusted however well it compressed"},
        {32 * 1000 + kMiB, 1000, 32 * 1000 + kMiB, "just inside ratio and slack"},
        {32 * 1000 + kMiB + 1, 1000, 32 * 1000 + kMiB, "just outside: what the file vouches for"},
        {0x7FFFFFFF, 2000000, 32 * 2000000 + kMiB, "a lying trailer"},
        {500, 100000, 500, "a smaller claim as it is"},
    };
    for (const Case& c : cases) EXPECT_EQ(trusted_capacity(c.announced, c.compressed), c.trusted) << c.why;
}

class Loading : public ::testing::Test {
   protected:
    // Reads and harvests a file that can be read.
    LogHarvest load(const std::string& path) {
        EXPECT_EQ(read_log(path, buffer), LogReadStatus::ok) << path;
        return harvest_log(buffer.bytes.get(), buffer.length);
    }

    static std::string version_of(const LogHarvest& harvest) {
        return std::to_string(harvest.major) + "." + std::to_string(harvest.minor);
    }

    static Bytes two_voice_log(uint32_t version) {
        return VgmWriter(version)
            .ym2612_voice(0, testing::sample_voice(1, 4))
            .ym2612_key_on(0)
            .wait(100)
            .ym2151_voice(3, testing::sample_voice(2, 7))
            .ym2151_key_on(3)
            .end()
            .bytes();
    }

    testing::TempDir dir;
    LogBuffer buffer;
};

TEST_F(Loading, PlainAndGzipGiveTheSameLineAndVoices) {
    const Bytes log = two_voice_log(0x150);
    testing::write_file(dir / "a.vgm", log);
    testing::write_file(dir / "a.vgz", testing::gzip_member(log));
    const LogHarvest plain = load(dir / "a.vgm");
    const LogHarvest gzip = load(dir / "a.vgz");
    for (const LogHarvest* harvest : {&plain, &gzip}) {
        EXPECT_EQ(harvest->status, HarvestStatus::accepted);
        EXPECT_EQ(version_of(*harvest), "1.50");
    }
    ASSERT_EQ(plain.voices.size(), 2u);
    ASSERT_EQ(gzip.voices.size(), 2u);
    for (size_t i = 0; i < plain.voices.size(); ++i) EXPECT_TRUE(same_voice_values(plain.voices[i], gzip.voices[i]));
}

TEST_F(Loading, VersionPrintsAsBcdDigits) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0x101, "1.1"}, {0x110, "1.10"}, {0x150, "1.50"}, {0x171, "1.71"}, {0x1A1, "1.101"}};
    for (const auto& [version, shown] : cases) {
        testing::write_file(dir / "v.vgm", VgmWriter(version).end().bytes());
        const LogHarvest harvest = load(dir / "v.vgm");
        EXPECT_EQ(harvest.status, HarvestStatus::accepted);
        EXPECT_EQ(version_of(harvest), shown);
    }
}

TEST_F(Loading, GzipWithoutIdentifierIsNoVgm) {
    Bytes log = two_voice_log(0x150);
    log[0] = 'X';
    testing::write_file(dir / "x.vgz", testing::gzip_member(log));
    const LogHarvest harvest = load(dir / "x.vgz");
    EXPECT_EQ(harvest.status, HarvestStatus::not_vgm);
    EXPECT_TRUE(harvest.voices.empty());
}

TEST_F(Loading, ShortTrailerBoundsTheWalk) {
    // The trailer claims fewer bytes than the log holds: the key-on beyond the
    // claimed size is never reached.
    const Bytes log = VgmWriter(0x150)
                          .ym2612_voice(0, testing::sample_voice(1, 4))
                          .ym2612_key_on(0)
                          .ym2612_voice(1, testing::sample_voice(2, 4))
                          .ym2612_key_on(1)
                          .end()
                          .bytes();
    const uint32_t claimed = static_cast<uint32_t>(log.size() - 4);  // cuts the second key-on
    testing::write_file(dir / "short.vgz", testing::with_trailer_size(testing::gzip_member(log), claimed));
    EXPECT_EQ(load(dir / "short.vgz").voices.size(), 1u);
}

TEST_F(Loading, DataStartAtOrBeyondTheEndWalksNothing) {
    Bytes log = two_voice_log(0x150);
    for (uint32_t offset : {static_cast<uint32_t>(log.size() - 0x34), 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i) log[0x34 + static_cast<size_t>(i)] = static_cast<uint8_t>(offset >> (8 * i));
        testing::write_file(dir / "far.vgm", log);
        const LogHarvest harvest = load(dir / "far.vgm");
        EXPECT_EQ(harvest.status, HarvestStatus::accepted) << offset;
        EXPECT_TRUE(harvest.voices.empty()) << offset;
    }
}

TEST_F(Loading, EveryLogStartsWithDacModeOffAndFreshImages) {
    const VoiceRecord voice = testing::sample_voice(3, 2);
    testing::write_file(dir / "dac.vgm",
                        VgmWriter(0x150).ym2612_voice(5, voice).ym2612(0, 0x2B, 0x80).ym2612_key_on(5).end().bytes());
    EXPECT_TRUE(load(dir / "dac.vgm").voices.empty()) << "channel 5 plays samples";
    // The same voice keyed on in the next log: DAC mode is off again, and the
    // first key-on of the file counts as a change.
    testing::write_file(dir / "fm.vgm", VgmWriter(0x150).ym2612_voice(5, voice).ym2612_key_on(5).end().bytes());
    const LogHarvest fm = load(dir / "fm.vgm");
    ASSERT_EQ(fm.voices.size(), 1u);
    EXPECT_TRUE(same_voice_values(fm.voices[0], voice));
    EXPECT_EQ(load(dir / "fm.vgm").voices.size(), 1u) << "harvested again, it gives the same";
}

TEST_F(Loading, ClaimFarBeyondTheDataReservesOnlyWhatIsThere) {
    // 2,000,000,000 claimed by a file of a few hundred bytes.
    const Bytes file = testing::with_trailer_size(testing::gzip_member(two_voice_log(0x150)), 2000000000u);
    testing::write_file(dir / "liar.vgz", file);
    ASSERT_EQ(read_log(dir / "liar.vgz", buffer), LogReadStatus::ok);
    EXPECT_EQ(buffer.length, two_voice_log(0x150).size());
    EXPECT_LE(buffer.capacity, file.size() * 32 + (1 << 20)) << "reserved memory follows the compressed size";
}

TEST_F(Loading, ClaimBeyondALogThatInflatesFarReadsItAll) {
    // Minutes of waits inflate about a thousandfold, past what the compressed
    // size vouches for; a key-on at the very end shows the log was read whole.
    VgmWriter writer(0x150);
    for (int i = 0; i < 3000000; ++i) writer.wait(735);
    const Bytes log_bytes = writer.ym2612_voice(0, testing::sample_voice(1, 4)).ym2612_key_on(0).end().bytes();
    const Bytes file = testing::gzip_member(log_bytes);
    ASSERT_GT(log_bytes.size(), file.size() * 32 + (1 << 20));
    for (const uint32_t claimed : {static_cast<uint32_t>(log_bytes.size()), 0x7FFFFFFFu}) {
        testing::write_file(dir / "long.vgz", testing::with_trailer_size(file, claimed));
        const LogHarvest harvest = load(dir / "long.vgz");
        EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + buffer.length), log_bytes) << claimed;
        EXPECT_LE(buffer.capacity, 2 * log_bytes.size()) << "the buffer grew with the data, not to the claim";
        EXPECT_EQ(harvest.voices.size(), 1u);
        buffer = LogBuffer{};
    }
}

TEST_F(Loading, PlainBytesComeAsTheyAreUpToTheAnnouncedSize) {
    const Bytes log_bytes = two_voice_log(0x150);
    testing::write_file(dir / "a.vgm", log_bytes);
    ASSERT_EQ(read_log(dir / "a.vgm", buffer), LogReadStatus::ok);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + buffer.length), log_bytes);
    EXPECT_EQ(buffer.capacity, log_bytes.size()) << "a plain log gets exactly its file length";

    // Neither a log nor gzip: the last four bytes announce the size, and no
    // more than the file holds is delivered.
    Bytes other = {'x', 'y', 'z', 'w', 5, 6, 7, 8, 4, 0, 0, 0};
    testing::write_file(dir / "other.vgz", other);
    ASSERT_EQ(read_log(dir / "other.vgz", buffer), LogReadStatus::ok);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + buffer.length), Bytes(other.begin(), other.begin() + 4));
    other[8] = 200;
    testing::write_file(dir / "other.vgz", other);
    ASSERT_EQ(read_log(dir / "other.vgz", buffer), LogReadStatus::ok);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + buffer.length), other);
    testing::write_file(dir / "magic.vgz", Bytes{0x1F});
    ASSERT_EQ(read_log(dir / "magic.vgz", buffer), LogReadStatus::ok);
    EXPECT_EQ(buffer.length, 0u) << "half a magic, too short for a trailer, announces nothing";
}

}  // namespace
}  // namespace timbrex
