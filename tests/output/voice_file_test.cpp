#include "output/voice_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;

VoiceRecord known_voice() {
    VoiceRecord voice{};
    voice.ALG = 4;
    voice.FB = 5;
    voice.slot[0] = {1, -3, 35, 1, 31, 12, 3, 7, 2, 0};
    voice.slot[1] = {15, 3, 127, 3, 0, 31, 31, 15, 15, 15};
    voice.slot[2] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 8};
    voice.slot[3] = {2, -1, 64, 2, 20, 5, 6, 9, 10, 0};
    voice.group = 7;
    voice.file_index = 3;
    return voice;
}

TEST(VoiceFile, GoldenBytes) {
    const VoiceFileBytes expected = {
        0x04, 0x05,                                                  // ALG, FB
        0x01, 0x00, 0x23, 0x01, 0x1F, 0x0C, 0x03, 0x07, 0x02, 0x00,  // slot 0
        0x0F, 0x06, 0x7F, 0x03, 0x00, 0x1F, 0x1F, 0x0F, 0x0F, 0x0F,  // slot 1
        0x00, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x08,  // slot 2
        0x02, 0x02, 0x40, 0x02, 0x14, 0x05, 0x06, 0x09, 0x0A, 0x00,  // slot 3
    };
    EXPECT_EQ(voice_file_bytes(known_voice()), expected);
}

TEST(VoiceFile, ReadsBackEveryValueOfAPatch) {
    VoiceRecord want = known_voice();
    want.group = -1;
    want.file_index = 0;
    const VoiceRecord read = voice_from_patch_bytes(voice_file_bytes(known_voice()));
    EXPECT_TRUE(same_voice_values(read, want));
    EXPECT_EQ(read.slot[0].DT, -3);
    EXPECT_EQ(read.slot[3].DT, -1);
    EXPECT_EQ(read.group, -1);
    EXPECT_EQ(read.file_index, 0);
}

// Whatever a foreign file holds, every byte in every position reads into a
// value that writes back as the same byte.
TEST(VoiceFile, EveryByteInEveryPositionRoundTrips) {
    for (size_t at = 0; at < kVoiceFileBytes; ++at) {
        for (int value = 0; value < 256; ++value) {
            VoiceFileBytes bytes = voice_file_bytes(known_voice());
            bytes[at] = static_cast<uint8_t>(value);
            ASSERT_EQ(voice_file_bytes(voice_from_patch_bytes(bytes)), bytes) << "byte " << at << " = " << value;
        }
    }
}

TEST(VoiceFile, WritesExactlyFortyTwoBytesAndReplaces) {
    testing::TempDir dir;
    const std::string path = dir / "x_0.vpf";
    testing::write_file(path, Bytes(100, 0xEE));
    ASSERT_TRUE(write_voice_file(known_voice(), path));
    const Bytes written = testing::read_file(path);
    ASSERT_EQ(written.size(), 42u);
    const VoiceFileBytes expected = voice_file_bytes(known_voice());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
}

TEST(VoiceFile, FailedCreateReportsFalse) {
    testing::TempDir dir;
    EXPECT_FALSE(write_voice_file(known_voice(), dir / "missing/x.vpf"));
}

// A write that fails at close is a failure; the cleanup after it removes only
// regular files, never the device a link leads to, nor the link. (A write
// that fails half way into a regular file is in the end-to-end table.)
TEST(VoiceFile, WriteToAFullDeviceFailsAndLeavesTheDeviceAlone) {
    TIMBREX_SKIP_UNLESS_POSIX("/dev/full");
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    testing::TempDir dir;
    const std::string link = dir / "x_0.vpf";
    ASSERT_TRUE(testing::make_symlink("/dev/full", link));
    EXPECT_FALSE(write_voice_file(known_voice(), link));
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// With the system's separator: "\\" on Windows, "/" on POSIX.
TEST(OutputNames, DirectoryPrefixGroup) {
    using testing::native;
    EXPECT_EQ(output_file_name(native("/music"), "Title_Theme_", 12), native("/music/Title_Theme_12.vpf"));
    EXPECT_EQ(output_file_name(native("/"), "a_", 0), native("//a_0.vpf")) << "the separator is always put in";
}

}  // namespace
}  // namespace timbrex
