// Walking a directory tree with a single "*" argument, through the built binary.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::sample_voice;
using testing::VgmWriter;

std::string processing(const std::string& path) { return "OK: Processing '" + path + "' (VGM v1.50)\n"; }
std::string found(int n) { return "OK: " + std::to_string(n) + " instruments were found\n"; }

class Walk : public ::testing::Test {
   protected:
    Walk() {
        char resolved[PATH_MAX];
        // Paths in the messages are the directory's absolute path as the OS reports it.
        root = ::realpath(temp.path().c_str(), resolved) ? std::string(resolved) : temp.path();
    }

    // A log with one voice of its own, so each file adds one instrument.
    void log_at(const std::string& relative) {
        const uint32_t variant = ++logs_written;
        testing::write_file(root + "/" + relative,
                            VgmWriter(0x150).ym2612_voice(0, sample_voice(variant, 4)).ym2612_key_on(0).end().bytes());
    }
    void dir_at(const std::string& relative) { ASSERT_EQ(::mkdir((root + "/" + relative).c_str(), 0755), 0); }

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
              processing(root + "/dir/a.vgm") + processing(root + "/dir/sub/c.VGZ") + found(2));
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
    EXPECT_EQ(run_in("", "*"), processing(root + "/B.vgm") + processing(root + "/z.vgm") +
                                   processing(root + "/A/deeper.vgm") + found(3));
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
    EXPECT_EQ(run_in("", "t/*"), processing(root + "/t/b/c/d/deep.vgm") + found(1));
}

TEST_F(Walk, LinksAndSpecialFiles) {
    dir_at("t");
    log_at("t/real.vgm");
    ASSERT_EQ(::symlink((root + "/t").c_str(), (root + "/t/loop").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/t/real.vgm").c_str(), (root + "/t/alias.vgm").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/t/gone.vgm").c_str(), (root + "/t/dangling.vgm").c_str()), 0);
    ASSERT_EQ(::mkfifo((root + "/t/pipe.vgm").c_str(), 0644), 0);
    // The link to a directory is not followed (no endless loop), the link to a
    // file is a file, the FIFO and the dangling link are skipped.
    EXPECT_EQ(run_in("", "t/*"), processing(root + "/t/alias.vgm") + processing(root + "/t/real.vgm") + found(1));
    EXPECT_EQ(outputs(""), std::vector<std::string>{"alias_0.vpf"});
}

TEST_F(Walk, RootThatCannotBeEnteredFindsNothing) {
    log_at("song.vgm");
    EXPECT_EQ(run_in("", "missing/*"), "ERR: Can't open directory 'missing/'\n" + found(0));
    EXPECT_EQ(run_in("", "song.vgm/*"), "ERR: Can't open directory 'song.vgm/'\n" + found(0));
}

TEST_F(Walk, UnreadableDirectoriesAreReportedOrFatal) {
    // Root enters and lists directories whatever their mode: run as nobody,
    // in a start directory nobody may write to.
    testing::RunLimits unprivileged;
    unprivileged.unprivileged = true;
    ASSERT_EQ(::chmod(root.c_str(), 0777), 0);
    dir_at("t");
    log_at("t/a.vgm");
    dir_at("t/locked");
    log_at("t/locked/hidden.vgm");
    ASSERT_EQ(::chmod((root + "/t/locked").c_str(), 0000), 0);
    // The walk ends before the first file is read.
    EXPECT_EQ(run_in("", "t/*", unprivileged),
              "ERR: Can't open directory '" + root + "/t/locked'\n" + processing(root + "/t/a.vgm") + found(1));
    EXPECT_EQ(outputs(""), std::vector<std::string>{"a_0.vpf"});
    ::unlink((root + "/a_0.vpf").c_str());
    // Enterable but not listable: the walk gives up as a whole.
    ASSERT_EQ(::chmod((root + "/t/locked").c_str(), 0111), 0);
    EXPECT_EQ(run_in("", "t/*", unprivileged), "ERR: No files in directory or other fatal error\n");
    ::chmod((root + "/t/locked").c_str(), 0755);
    EXPECT_TRUE(outputs("").empty());
}

TEST_F(Walk, ManyEntriesWithBlanksAndDots) {
    dir_at("many");
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "song " + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".v1.vgm";
        log_at("many/" + name);
        expected += processing(root + "/many/" + name);
    }
    EXPECT_EQ(run_in("", "many/*"), expected + found(40));
    const std::vector<std::string> names = outputs("");
    ASSERT_EQ(names.size(), 40u);
    EXPECT_EQ(names.front(), "song_00_0.vpf");
}

}  // namespace
}  // namespace timbrex
