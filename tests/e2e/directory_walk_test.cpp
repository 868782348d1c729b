// Walking a directory tree with a single "*" argument, through the built binary.

#include <gtest/gtest.h>

#include <cstdio>

#include "expected_lines.h"
#include "host.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::native;
using testing::sample_voice;
using testing::VgmWriter;

std::string processing(const std::string& path) { return testing::processing_line(path); }
std::string found(int n) { return testing::instruments_found_line(n); }

class Walk : public ::testing::Test {
   protected:
    // Paths in the messages are the directory's absolute path as the OS reports it.
    Walk() : root(testing::real_path(temp.path())) {}

    // A log with one voice of its own, so each file adds one instrument.
    void log_at(const std::string& relative) {
        const uint32_t variant = ++logs_written;
        testing::write_file(root + "/" + relative,
                            VgmWriter(0x150).ym2612_voice(0, sample_voice(variant, 4)).ym2612_key_on(0).end().bytes());
    }
    void dir_at(const std::string& relative) { ASSERT_TRUE(testing::make_directory(root + "/" + relative)); }

    std::string run_in(const std::string& relative, const std::string& argument,
                       const testing::RunLimits& limits = {}) {
        const testing::RunResult result = testing::run_timbrex(root + "/" + relative, {argument}, limits);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        return result.out;
    }

    std::vector<std::string> outputs(const std::string& relative) {
        std::vector<std::string> names;
        for (const std::string& name : testing::files_in(root + "/" + relative)) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".vpf") == 0) names.push_back(name);
        }
        return names;
    }

    testing::TempDir temp;
    std::string root;
    uint32_t logs_written = 0;
};

TEST_F(Walk, BreadthFirstInSortedOrderWithOutputsInTheStartDirectory) {
    dir_at("start");
    dir_at("dir");
    log_at("dir/a.vgm");
    testing::write_file(root + "/dir/b.txt", Bytes{'x'});
    dir_at("dir/sub");
    log_at("dir/sub/c.VGZ");
    EXPECT_EQ(run_in("start", "../dir/*"),
              processing(native(root + "/dir/a.vgm")) + processing(native(root + "/dir/sub/c.VGZ")) + found(2));
    EXPECT_EQ(outputs("start"), (std::vector<std::string>{"a_0.vpf", "c_1.vpf"}));
    EXPECT_TRUE(outputs("dir").empty());
    EXPECT_TRUE(outputs("dir/sub").empty());
}

TEST_F(Walk, BareStarWalksTheStartDirectory) {
    log_at("z.vgm");
    dir_at("A");
    log_at("A/deeper.vgm");
    log_at("B.vgm");
    // Byte order: "A" < "B.vgm" < "z.vgm"; A's file comes in the next round.
    EXPECT_EQ(run_in("", "*"), processing(native(root + "/B.vgm")) + processing(native(root + "/z.vgm")) +
                                   processing(native(root + "/A/deeper.vgm")) + found(3));
    EXPECT_EQ(outputs(""), (std::vector<std::string>{"B_0.vpf", "deeper_2.vpf", "z_1.vpf"}));
}

TEST_F(Walk, EmptyDirectoriesDoNotStopTheWalk) {
    dir_at("t");
    dir_at("t/a");
    dir_at("t/b");
    dir_at("t/b/c");
    dir_at("t/b/c/d");
    log_at("t/b/c/d/deep.vgm");
    dir_at("t/z");  // the last directory of its round is empty
    dir_at("t/b/zz");
    EXPECT_EQ(run_in("", "t/*"), processing(native(root + "/t/b/c/d/deep.vgm")) + found(1));
}

// "dir\*" and "..\dir\*" on Windows, "dir/*" and "../dir/*" on POSIX: the
// walk's own paths carry the system's separator throughout.
TEST_F(Walk, ArgumentsWithTheSystemsSeparator) {
    dir_at("start");
    dir_at("dir");
    dir_at("dir/sub");
    log_at("dir/sub/x.vgm");
    log_at("dir/a.vgz");
    const std::string expected = processing(native(root + "/dir/a.vgz")) + processing(native(root + "/dir/sub/x.vgm"));
    EXPECT_EQ(run_in("", native("dir/*")), expected + found(2));
    EXPECT_EQ(outputs(""), (std::vector<std::string>{"a_0.vpf", "x_1.vpf"}));
    EXPECT_EQ(run_in("start", native("../dir/*")), expected + found(2));
    EXPECT_EQ(outputs("start"), (std::vector<std::string>{"a_0.vpf", "x_1.vpf"}));
    EXPECT_EQ(run_in("", native("missing/*")), "ERR: Can't open directory '" + native("missing/") + "'\n" + found(0));
}

// A letter outside ASCII, in the bytes the system's file names use (the ANSI
// code page on Windows): found by the walk, opened when named, and kept in the
// output names. Its byte sorts after every ASCII letter, as unsigned bytes
// compare: "b.vgm" comes before the name that begins with it.
TEST_F(Walk, NameWithANonAsciiLetter) {
    const std::string e_acute = testing::e_acute();
    if (e_acute.empty()) GTEST_SKIP() << "the ANSI code page has no e with acute";
    const std::string name = "caf" + e_acute + ".vgm";
    dir_at("songs");
    log_at("songs/" + e_acute + ".vgm");
    log_at("songs/b.vgm");
    log_at("songs/" + name);
    dir_at("songs/" + e_acute + "t" + e_acute);
    log_at("songs/" + e_acute + "t" + e_acute + "/x.vgz");
    EXPECT_EQ(run_in("", native("songs/*")),
              processing(native(root + "/songs/b.vgm")) + processing(native(root + "/songs/" + name)) +
                  processing(native(root + "/songs/" + e_acute + ".vgm")) +
                  processing(native(root + "/songs/" + e_acute + "t" + e_acute + "/x.vgz")) + found(4));
    EXPECT_EQ(outputs(""),
              (std::vector<std::string>{"b_0.vpf", "caf" + e_acute + "_1.vpf", "x_3.vpf", e_acute + "_2.vpf"}));
    EXPECT_EQ(run_in("songs", name), processing(name) + found(1));
    EXPECT_EQ(outputs("songs"), std::vector<std::string>{"caf" + e_acute + "_0.vpf"});
}

// A symbolic link to a directory, or a junction on Windows, is never walked
// into: a link back up the tree would make the walk loop.
TEST_F(Walk, DirectoryLinksAreNotFollowed) {
    dir_at("t");
    log_at("t/real.vgm");
    dir_at("elsewhere");
    log_at("elsewhere/other.vgm");
    if (!testing::make_directory_link(root + "/t", root + "/t/loop") ||
        !testing::make_directory_link(root + "/elsewhere", root + "/t/aside")) {
        GTEST_SKIP() << "this system makes neither directory symbolic links nor junctions";
    }
    EXPECT_EQ(run_in("", native("t/*")), processing(native(root + "/t/real.vgm")) + found(1));
    EXPECT_EQ(outputs(""), std::vector<std::string>{"real_0.vpf"});
}

TEST_F(Walk, LinksAndSpecialFiles) {
    TIMBREX_SKIP_UNLESS_POSIX("FIFOs, and symbolic links made without privileges");
    dir_at("t");
    log_at("t/real.vgm");
    ASSERT_TRUE(testing::make_symlink(root + "/t", root + "/t/loop"));
    ASSERT_TRUE(testing::make_symlink(root + "/t/real.vgm", root + "/t/alias.vgm"));
    ASSERT_TRUE(testing::make_symlink(root + "/t/gone.vgm", root + "/t/dangling.vgm"));
    ASSERT_TRUE(testing::make_fifo(root + "/t/pipe.vgm"));
    // Links named like logs, so that the suffix filter cannot hide how they
    // are classified.
    ASSERT_TRUE(testing::make_symlink(root + "/t", root + "/t/d.vgm"));
    ASSERT_TRUE(testing::make_symlink(root + "/t/pipe.vgm", root + "/t/p.vgm"));
    // The links to a directory are not followed (no endless loop), the link to
    // a file is a file, the FIFO, the link to it and the dangling link are
    // skipped, all without a message.
    EXPECT_EQ(run_in("", "t/*"), processing(root + "/t/alias.vgm") + processing(root + "/t/real.vgm") + found(1));
    EXPECT_EQ(outputs(""), std::vector<std::string>{"alias_0.vpf"});
}

TEST_F(Walk, RootThatCannotBeEnteredFindsNothing) {
    log_at("song.vgm");
    EXPECT_EQ(run_in("", "missing/*"), "ERR: Can't open directory 'missing/'\n" + found(0));
    EXPECT_EQ(run_in("", "song.vgm/*"), "ERR: Can't open directory 'song.vgm/'\n" + found(0));
}

TEST_F(Walk, UnreadableDirectoriesAreReportedOrFatal) {
    TIMBREX_SKIP_UNLESS_POSIX("permission bits");
    // Root enters and lists directories whatever their mode: run as nobody,
    // in a start directory nobody may write to.
    testing::RunLimits unprivileged;
    unprivileged.unprivileged = true;
    ASSERT_TRUE(testing::set_mode(root, 0777));
    dir_at("t");
    log_at("t/a.vgm");
    dir_at("t/locked");
    log_at("t/locked/hidden.vgm");
    ASSERT_TRUE(testing::set_mode(root + "/t/locked", 0000));
    // The walk ends before the first file is read.
    EXPECT_EQ(run_in("", "t/*", unprivileged),
              "ERR: Can't open directory '" + root + "/t/locked'\n" + processing(root + "/t/a.vgm") + found(1));
    EXPECT_EQ(outputs(""), std::vector<std::string>{"a_0.vpf"});
    std::remove((root + "/a_0.vpf").c_str());
    // Enterable but not listable: the walk gives up as a whole.
    ASSERT_TRUE(testing::set_mode(root + "/t/locked", 0111));
    EXPECT_EQ(run_in("", "t/*", unprivileged), "ERR: No files in directory or other fatal error\n");
    testing::set_mode(root + "/t/locked", 0755);
    EXPECT_TRUE(outputs("").empty());
}

TEST_F(Walk, ManyEntriesWithBlanksAndDots) {
    dir_at("many");
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "song " + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".v1.vgm";
        log_at("many/" + name);
        expected += processing(native(root + "/many/" + name));
    }
    EXPECT_EQ(run_in("", "many/*"), expected + found(40));
    const std::vector<std::string> names = outputs("");
    ASSERT_EQ(names.size(), 40u);
    EXPECT_EQ(names.front(), "song_00_0.vpf");
}

}  // namespace
}  // namespace timbrex
