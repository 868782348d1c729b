// Golden runs over the real logs kept beside the project: every line printed
// and every byte of every file left behind, compared with what timbrex printed
// and wrote on the same logs before the loader was reworked
// (tests/e2e/golden/make-golden tells how the expected files were made).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootToken = "{root}";

fs::path corpus_root(const std::string& corpus) {
    return fs::weakly_canonical(fs::path(TIMBREX_SOURCE_DIR) / ".." / "shared" / corpus);
}

bool is_log_name(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".vgm" || suffix == ".vgz";
}

std::string forward_slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Every log of the tree, full paths in plain byte order, as the generator's
// `find | sort` lists them.
std::vector<std::string> logs_in_tree(const fs::path& root) {
    std::vector<std::string> logs;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && is_log_name(entry.path().filename().string())) {
            logs.push_back(entry.path().string());
        }
    }
    // Ordered as the POSIX paths are on every system: "\\" sorts after letters
    // and digits, "/" before them.
    std::sort(logs.begin(), logs.end(),
              [](const std::string& a, const std::string& b) { return forward_slashes(a) < forward_slashes(b); });
    return logs;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The run's output as "out" lines, with the corpus root replaced by a token.
// A Windows build prints "\" between path components and may end lines with
// CR LF; both are brought to the form the expected files use. No log of the
// corpora has a backslash in its name, so no other byte is changed.
std::vector<std::string> output_lines(const std::string& out, const std::string& root) {
    std::string text = forward_slashes(out);
    replace_all(text, "\r\n", "\n");
    replace_all(text, forward_slashes(root), kRootToken);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back("out " + line);
    return lines;
}

std::string hex(const testing::Bytes& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::vector<std::string> file_lines(const std::string& directory) {
    std::vector<std::string> lines;
    for (const std::string& name : testing::files_in(directory)) {
        lines.push_back("vpf " + hex(testing::read_file(directory + "/" + name)) + " " + name);
    }
    return lines;
}

std::vector<std::string> expected_lines(const std::string& golden_case) {
    const fs::path path = fs::path(TIMBREX_SOURCE_DIR) / "tests" / "e2e" / "golden" / (golden_case + ".txt");
    std::ifstream file(path);
    EXPECT_TRUE(file.good()) << "missing " << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        // A checkout that made the expected files CR LF still compares.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

// Reports the first line that differs rather than two listings of thousands.
void expect_same_lines(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    const auto [got_at, want_at] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (got_at == got.end() && want_at == want.end()) return;
    ADD_FAILURE() << "line " << (got_at - got.begin()) + 1 << " of " << got.size() << " (expected " << want.size()
                  << " lines)\n  got:      " << (got_at == got.end() ? "<end>" : *got_at)
                  << "\n  expected: " << (want_at == want.end() ? "<end>" : *want_at);
}

void run_golden_case(const std::string& corpus, const std::string& mode, const std::vector<std::string>& arguments) {
    const std::string root = corpus_root(corpus).string();
    testing::TempDir dir;
    const testing::RunResult result = testing::run_timbrex(dir.path(), arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::vector<std::string> got = output_lines(result.out, root);
    const std::vector<std::string> files = file_lines(dir.path());
    got.insert(got.end(), files.begin(), files.end());
    expect_same_lines(got, expected_lines(corpus + "-" + mode));
}

class GoldenRun : public ::testing::TestWithParam<std::string> {
   protected:
    void SetUp() override {
        if (!fs::is_directory(corpus_root(GetParam()))) GTEST_SKIP() << "no " << GetParam() << " beside the project";
    }
};

TEST_P(GoldenRun, EveryLogNamedAsAnArgument) {
    const std::vector<std::string> logs = logs_in_tree(corpus_root(GetParam()));
    ASSERT_FALSE(logs.empty());
    run_golden_case(GetParam(), "files", logs);
}

TEST_P(GoldenRun, WalkOfTheTree) { run_golden_case(GetParam(), "walk", {corpus_root(GetParam()).string() + "/*"}); }

INSTANTIATE_TEST_SUITE_P(Corpora, GoldenRun, ::testing::Values("real-logs", "bench-logs"),
                         [](const ::testing::TestParamInfo<std::string>& corpus) {
                             std::string name = corpus.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST(GoldenOutput, RootAndWindowsSeparatorsAreNormalised) {
    const std::string windows =
        "OK: Processing 'Z:\\work\\shared\\bench-logs\\sub\\x.vgm' (VGM v1.50)\r\nOK: 1 "
        "instruments were found\r\n";
    const std::vector<std::string> want = {"out OK: Processing '{root}/sub/x.vgm' (VGM v1.50)",
                                           "out OK: 1 instruments were found"};
    EXPECT_EQ(output_lines(windows, "Z:\\work\\shared\\bench-logs"), want);
    EXPECT_EQ(output_lines("OK: Processing '/s/bench-logs/sub/x.vgm' (VGM v1.50)\nOK: 1 instruments were found\n",
                           "/s/bench-logs"),
              want);
}

}  // namespace
}  // namespace timbrex
