#include "driver/input_list.h"

#include <gtest/gtest.h>

namespace timbrex {
namespace {

TEST(ExtEqual, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(ext_equal("VgM", "vgm"));
    EXPECT_TRUE(ext_equal("vgz", "VGZ"));
    EXPECT_FALSE(ext_equal("vgn", "vgm"));
    EXPECT_TRUE(ext_equal("vgmore", "vgm")) << "only the suffix's length is compared";
    EXPECT_FALSE(ext_equal("vg", "vgm"));
    EXPECT_FALSE(ext_equal("\xC4gm", "\xE4gm")) << "no folding beyond A-Z";
    EXPECT_FALSE(ext_equal("@gm", "`gm")) << "'@' and '`' are not letters";
}

TEST(SuffixFilter, AcceptsVgmAndVgzInAnyCase) {
    for (const char* name : {"x.VgM", "x.vgz", "SONG.VGZ", "songvgm", "dir/a b.vgm", "vgm"}) {
        EXPECT_TRUE(has_vgm_suffix(name)) << name;
    }
    for (const char* name : {"x.vgm.bak", "x.gz", "x.vg", "gm", "", "*", "music/*", "x.vgm "}) {
        EXPECT_FALSE(has_vgm_suffix(name)) << name;
    }
}

TEST(NamePrefix, FromTheLastComponent) {
    EXPECT_EQ(name_prefix("C:\\music\\Title Theme.vgz"), "Title_Theme_");
    EXPECT_EQ(name_prefix("tunes/a.b.vgm"), "a_");
    EXPECT_EQ(name_prefix("songvgm"), "songvgm_");
    EXPECT_EQ(name_prefix(".vgm"), "_");
    EXPECT_EQ(name_prefix("/x/y/.hidden.vgz"), "_");
    EXPECT_EQ(name_prefix("a  b.c d.vgm"), "a__b_") << "blanks after the first dot are dropped with it";
    EXPECT_EQ(name_prefix("mixed/dir\\name x.vgm"), "name_x_");
    EXPECT_EQ(name_prefix(std::string(300, 'n') + ".vgm"), std::string(300, 'n') + "_") << "no length limit";
}

TEST(AddInput, KeepsOrderDropsOtherSuffixesAndGrows) {
    InputList list;
    add_input(list, "root/", true);
    for (int i = 0; i < 40; ++i) add_input(list, "f" + std::to_string(i) + (i % 2 ? ".vgm" : ".txt"), false);
    add_input(list, "same.vgz", false);
    add_input(list, "same.vgz", false);
    ASSERT_EQ(list.entries.size(), 1u + 20u + 2u);
    EXPECT_TRUE(list.entries[0].is_dir);
    EXPECT_EQ(list.entries[0].path, "root/");
    EXPECT_EQ(list.entries[0].prefix, "") << "a directory has no prefix";
    for (size_t i = 1; i <= 20; ++i) {
        EXPECT_EQ(list.entries[i].path, "f" + std::to_string(2 * i - 1) + ".vgm");
        EXPECT_FALSE(list.entries[i].is_dir);
    }
    EXPECT_EQ(list.entries[21].prefix, "same_");
    EXPECT_EQ(list.entries[22].path, "same.vgz") << "a file named twice is listed twice";
    add_input(list, "not-filtered.txt", true);
    EXPECT_EQ(list.entries.back().path, "not-filtered.txt") << "directories are never filtered";
}

}  // namespace
}  // namespace timbrex
