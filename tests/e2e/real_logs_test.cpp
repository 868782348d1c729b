// Smoke runs over the real logs kept beside the project, when they are there.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

namespace fs = std::filesystem;

fs::path real_logs() { return fs::path(TIMBREX_SOURCE_DIR) / ".." / "shared" / "real-logs"; }

TEST(RealLogs, EveryLogIsAcceptedAndYieldsInstruments) {
    if (!fs::is_directory(real_logs())) GTEST_SKIP() << "no real logs beside the project";
    std::vector<std::string> logs;
    for (const auto& entry : fs::directory_iterator(real_logs())) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && (name.substr(name.size() - 4) == ".vgm" || name.substr(name.size() - 4) == ".vgz")) {
            logs.push_back(fs::canonical(entry.path()).string());
        }
    }
    std::sort(logs.begin(), logs.end());
    ASSERT_FALSE(logs.empty());
    testing::TempDir dir;
    const testing::RunResult result = testing::run_timbrex(dir.path(), logs);
    EXPECT_EQ(result.status, 0);
    for (const std::string& log : logs) {
        EXPECT_NE(result.out.find("OK: Processing '" + log + "'"), std::string::npos) << log;
    }
    EXPECT_EQ(result.out.find("ERR:"), std::string::npos) << result.out;
    // Every file contributes at least one instrument, named by its prefix.
    const std::vector<std::string> outputs = testing::files_in(dir.path());
    for (const std::string& log : logs) {
        std::string prefix = fs::path(log).filename().string();
        prefix = prefix.substr(0, prefix.find('.'));
        for (char& c : prefix) c = c == ' ' ? '_' : c;
        const bool any = std::any_of(outputs.begin(), outputs.end(),
                                     [&](const std::string& name) { return name.rfind(prefix + "_", 0) == 0; });
        EXPECT_TRUE(any) << log;
    }
    for (const std::string& name : outputs) EXPECT_EQ(fs::file_size(dir.path() + "/" + name), 42u) << name;

    // The same run again gives the same files byte for byte.
    testing::TempDir again;
    testing::run_timbrex(again.path(), logs);
    ASSERT_EQ(testing::files_in(again.path()), outputs);
    for (const std::string& name : outputs) {
        EXPECT_EQ(testing::read_file(again.path() + "/" + name), testing::read_file(dir.path() + "/" + name));
    }
}

}  // namespace
}  // namespace timbrex
