// The whole harvest on one input read as up to eight log files (see
// pipeline_input.h): each is written to disk, and the driver harvests them in
// line and merges their voices as in a run; then the voices are grouped, the
// loudest kept and the patch files written into a directory emptied before
// every input. What each step leaves is checked.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "driver/capture_files.h"
#include "driver/run_state.h"
#include "fuzz_support.h"
#include "output/grouping.h"
#include "output/output_pass.h"
#include "output/voice_file.h"
#include "pipeline_input.h"

namespace {

using namespace timbrex;

constexpr uint64_t kInflateBound = 1040;
constexpr uint64_t kInflateSlack = 1024;
// Checking every new group against every earlier one is quadratic; beyond this
// many comparisons only the cheaper checks run.
constexpr size_t kMostPairChecks = 200000;

std::string inputs_directory() { return fuzz::scratch_directory() + "/in"; }
std::string outputs_directory() { return fuzz::scratch_directory() + "/out"; }

// "piece 3.part.vgz": a blank and dots, so that the prefix rule shows in the names.
std::string piece_path(size_t i) { return inputs_directory() + "/piece " + std::to_string(i) + ".part.vgz"; }
std::string piece_prefix(size_t i) { return "piece_" + std::to_string(i) + "_"; }

bool line_for_piece(const std::string& line, const std::string& path) {
    const std::string quoted = "'" + path + "'";
    if (line == "ERR: No VGM found in file " + quoted || line == "ERR: Can't alloc memory for file " + quoted) {
        return true;
    }
    const std::string head = "OK: Processing " + quoted + " (VGM v";
    return line.compare(0, head.size(), head) == 0 && line.back() == ')';
}

void check_printed(const std::string& printed, size_t piece_count) {
    size_t begin = 0;
    for (size_t i = 0; i < piece_count; ++i) {
        const size_t end = printed.find('\n', begin);
        fuzz::check(end != std::string::npos, "one line per file");
        fuzz::check(line_for_piece(printed.substr(begin, end - begin), piece_path(i)), "each file's line names it");
        begin = end + 1;
    }
    fuzz::check(begin == printed.size(), "nothing printed beyond one line per file");
}

// Groups are numbered by first appearance and hold exactly the voices equal
// to their first member.
void check_groups(const std::vector<VoiceRecord>& records, int32_t group_count) {
    fuzz::check(group_count >= 0 && static_cast<size_t>(group_count) <= records.size(), "no more groups than voices");
    std::vector<size_t> first;
    const bool pairwise = records.size() * records.size() <= kMostPairChecks;
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        fuzz::check(g >= 0 && static_cast<size_t>(g) <= first.size(), "groups numbered by first appearance");
        if (static_cast<size_t>(g) == first.size()) {
            if (pairwise) {
                for (size_t earlier : first) {
                    fuzz::check(!voices_equal(records[earlier], records[i]), "a new group differs from every other");
                }
            }
            first.push_back(i);
        } else {
            fuzz::check(voices_equal(records[first[static_cast<size_t>(g)]], records[i]), "group members are equal");
        }
    }
    fuzz::check(first.size() == static_cast<size_t>(group_count), "every group number is used");
}

// After selection each group keeps its loudest member, the earliest of equally
// loud ones; only a group whose members all have loudness 0 keeps them all.
// Returns the position written for each group: the first one kept.
std::vector<size_t> check_selection(const std::vector<VoiceRecord>& records, const std::vector<int32_t>& groups,
                                    int32_t group_count) {
    const auto count = static_cast<size_t>(group_count);
    std::vector<int32_t> loudest(count, 0);
    std::vector<size_t> loudest_at(count, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto g = static_cast<size_t>(groups[i]);
        if (loudness(records[i]) > loudest[g]) {
            loudest[g] = loudness(records[i]);
            loudest_at[g] = i;
        }
    }
    std::vector<size_t> written(count, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto g = static_cast<size_t>(groups[i]);
        const bool kept = loudest_at[g] == records.size() || loudest_at[g] == i;
        fuzz::check(records[i].group == (kept ? groups[i] : -1), "selection keeps exactly the loudest");
        if (kept && written[g] == records.size()) written[g] = i;
    }
    return written;
}

void check_outputs(const std::vector<VoiceRecord>& records, const std::vector<size_t>& written) {
    std::map<std::string, size_t> expected;
    for (size_t g = 0; g < written.size(); ++g) {
        const VoiceRecord& voice = records[written[g]];
        const std::string name = piece_prefix(static_cast<size_t>(voice.file_index)) + std::to_string(g) + ".vpf";
        expected.emplace(name, written[g]);
    }
    std::error_code error;
    size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(outputs_directory(), error)) {
        const std::string name = entry.path().filename().string();
        const auto found = expected.find(name);
        fuzz::check(found != expected.end(), "only the expected patch files are written");
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const VoiceFileBytes want = voice_file_bytes(records[found->second]);
        fuzz::check(bytes.size() == want.size() && std::memcmp(bytes.data(), want.data(), want.size()) == 0,
                    "each patch file holds its group's voice");
        ++seen;
    }
    fuzz::check(!error && seen == expected.size(), "one patch file per group");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::capture_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::clear_directory(inputs_directory());
    fuzz::clear_directory(outputs_directory());
    const std::vector<fuzz::Piece> pieces = fuzz::split_pieces(data, size);

    auto run = std::make_unique<RunState>();
    std::vector<std::string> prefixes;
    uint64_t most_bytes = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string path = piece_path(i);
        fuzz::write_bytes(path, pieces[i].data, pieces[i].size);
        add_input(run->inputs, path, false);
        prefixes.push_back(piece_prefix(i));
        const bool gzip = pieces[i].size >= 2 && pieces[i].data[0] == 0x1F && pieces[i].data[1] == 0x8B;
        most_bytes += gzip ? pieces[i].size * kInflateBound + kInflateSlack : pieces[i].size;
    }
    fuzz::begin_output();
    capture_all_files(*run, 1);
    check_printed(fuzz::take_output(), pieces.size());

    std::vector<VoiceRecord>& records = run->voices.records;
    fuzz::check_voice_list(run->voices, most_bytes);
    for (const VoiceRecord& voice : records) {
        fuzz::check(voice.file_index >= 0 && static_cast<size_t>(voice.file_index) < pieces.size(),
                    "every voice comes from one of the files");
    }

    const int32_t group_count = group_voices(records);
    check_groups(records, group_count);
    std::vector<int32_t> groups;
    for (const VoiceRecord& voice : records) groups.push_back(voice.group);

    select_loudest(records, group_count);
    const std::vector<size_t> written = check_selection(records, groups, group_count);

    const std::vector<GroupOutput> outputs = save_outputs(records, group_count, outputs_directory(), prefixes);
    for (const GroupOutput& output : outputs) {
        fuzz::check(output.outcome == SaveOutcome::saved, "every patch file is saved");
    }
    check_outputs(records, written);
    return 0;
}
