#include "output/output_pass.h"

#include <gtest/gtest.h>

#include <set>

#include "host.h"
#include "output/voice_file.h"
#include "run_binary.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;
using testing::sample_voice;

const std::vector<std::string> kPrefixes = {"first_", "", "third_", "x_"};

// `groups` groups whose records are spread over the list between dropped
// ones and over three source files, the way selection leaves them.
std::vector<VoiceRecord> selected_records(int32_t groups) {
    std::vector<VoiceRecord> records;
    for (int32_t g = groups - 1; g >= 0; --g) {
        VoiceRecord dropped = sample_voice(static_cast<uint32_t>(g), 1);
        dropped.group = -1;
        dropped.file_index = 0;
        records.push_back(dropped);
        VoiceRecord kept = sample_voice(static_cast<uint32_t>(g) + 1000, g % 8);
        kept.group = g;
        kept.file_index = (g % 3 == 0) ? 0 : (g % 3 == 1) ? 2 : 3;
        records.push_back(kept);
    }
    return records;
}

std::string name_of(const VoiceRecord& voice) {
    return kPrefixes[static_cast<size_t>(voice.file_index)] + std::to_string(voice.group) + ".vpf";
}

Bytes bytes_of(const VoiceRecord& voice) {
    const VoiceFileBytes bytes = voice_file_bytes(voice);
    return Bytes(bytes.begin(), bytes.end());
}

// Outcomes, names and contents of a run of each writer setting in a fresh
// directory where the names of `taken` groups are directories.
struct PassResult {
    std::vector<SaveOutcome> outcomes;
    std::vector<GroupOutput> outputs;
    std::vector<std::string> files;
    std::vector<Bytes> contents;
};

PassResult run_pass(const std::vector<VoiceRecord>& records, int32_t groups, const std::set<int32_t>& taken) {
    testing::TempDir dir;
    for (const VoiceRecord& r : records) {
        if (r.group >= 0 && taken.count(r.group)) {
            EXPECT_TRUE(testing::make_directory(dir / name_of(r)));
        }
    }
    PassResult result;
    result.outputs = save_outputs(records, groups, dir.path(), kPrefixes);
    for (const GroupOutput& output : result.outputs) result.outcomes.push_back(output.outcome);
    result.files = testing::files_in(dir.path());
    for (const std::string& name : result.files) result.contents.push_back(testing::read_file(dir / name));
    for (const VoiceRecord& r : records) {
        struct stat info {};
        if (r.group >= 0 && taken.count(r.group)) {
            EXPECT_EQ(::stat((dir / name_of(r)).c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode)) << "a failed save leaves what held the name alone";
        }
    }
    return result;
}

TEST(OutputPass, SavesExactlyTheGroupsWhoseNamesAreFree) {
    const int32_t groups = 203;
    const std::vector<VoiceRecord> records = selected_records(groups);
    // Runs of failures, lone ones, the first and last group, odd and even.
    const std::set<int32_t> taken = {0, 1, 2, 3, 7, 8, 50, 51, 52, 99, 101, 150, 201, 202};
    std::vector<SaveOutcome> want(static_cast<size_t>(groups), SaveOutcome::saved);
    for (int32_t g : taken) want[static_cast<size_t>(g)] = SaveOutcome::failed;
    std::set<std::string> want_files;
    for (const VoiceRecord& r : records) {
        if (r.group >= 0 && !taken.count(r.group)) want_files.insert(name_of(r));
    }

    const PassResult result = run_pass(records, groups, taken);
    EXPECT_EQ(result.outcomes, want);
    // Each group's output names the record it kept and where it went, saved or not.
    for (const VoiceRecord& r : records) {
        if (r.group < 0) continue;
        const GroupOutput& output = result.outputs[static_cast<size_t>(r.group)];
        EXPECT_EQ(output.file_name, name_of(r));
        EXPECT_EQ(output.path.substr(output.path.size() - name_of(r).size() - 1), testing::kSeparator + name_of(r));
        EXPECT_TRUE(same_voice_values(output.voice, r));
        EXPECT_EQ(output.voice.file_index, r.file_index);
    }
    EXPECT_EQ(std::set<std::string>(result.files.begin(), result.files.end()), want_files);
    for (size_t i = 0; i < result.files.size(); ++i) {
        for (const VoiceRecord& r : records) {
            if (r.group >= 0 && name_of(r) == result.files[i]) {
                EXPECT_EQ(result.contents[i], bytes_of(r));
            }
        }
    }
}

TEST(OutputPass, AGroupWithoutItsRecordSavesNothing) {
    for (int32_t groups : {0, 1, 64}) {
        SCOPED_TRACE(groups);
        std::vector<VoiceRecord> records = selected_records(groups);
        if (groups == 64) records[1].group = -1;  // group 63 without its record
        const PassResult result = run_pass(records, groups, {});
        ASSERT_EQ(result.outcomes.size(), static_cast<size_t>(groups));
        EXPECT_EQ(result.files.size(), static_cast<size_t>(groups == 64 ? 63 : groups));
        if (groups == 64) {
            EXPECT_EQ(result.outcomes[63], SaveOutcome::no_record);
            EXPECT_EQ(result.outputs[63].file_name, "");
        }
    }
}

TEST(OutputPass, SavesToTheStartDirectoryWithEachSourcesPrefix) {
    testing::TempDir dir;
    std::vector<VoiceRecord> records(4, sample_voice(3, 2));
    records[0].group = -1;
    records[1].group = 1;
    records[1].file_index = 2;
    records[2].group = 0;
    records[2].file_index = 0;
    records[2].ALG = 7;
    records[3].group = -1;
    save_outputs(records, 2, dir.path(), kPrefixes);
    EXPECT_EQ(testing::files_in(dir.path()), (std::vector<std::string>{"first_0.vpf", "third_1.vpf"}));
    EXPECT_EQ(testing::read_file(dir / "first_0.vpf")[0], 7);
}

}  // namespace
}  // namespace timbrex
