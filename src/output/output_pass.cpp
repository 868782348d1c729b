#include "output/output_pass.h"

#include "output/voice_file.h"

namespace timbrex {

namespace {

// The record selection left in each group and where its file goes.
struct OutputPlan {
    const std::vector<VoiceRecord>& records;
    const std::string& directory;
    const std::vector<std::string>& prefixes;
    std::vector<int64_t> kept;  // position of group g's record, or -1
};

const VoiceRecord& kept_voice(const OutputPlan& plan, size_t group) {
    return plan.records[static_cast<size_t>(plan.kept[group])];
}

std::string planned_name(const OutputPlan& plan, size_t group) {
    const VoiceRecord& voice = kept_voice(plan, group);
    return output_file_name(plan.directory, plan.prefixes[static_cast<size_t>(voice.file_index)],
                            static_cast<int32_t>(group));
}

void save_group(const OutputPlan& plan, size_t group, std::vector<SaveOutcome>& outcomes) {
    if (plan.kept[group] < 0) return;
    const bool saved = write_voice_file(kept_voice(plan, group), planned_name(plan, group));
    outcomes[group] = saved ? SaveOutcome::saved : SaveOutcome::failed;
}

}  // namespace

std::vector<int64_t> kept_records(const std::vector<VoiceRecord>& records, int32_t group_count) {
    // One pass rather than one scan of the list per group.
    std::vector<int64_t> kept(static_cast<size_t>(group_count), -1);
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        if (g >= 0 && g < group_count && kept[static_cast<size_t>(g)] < 0)
            kept[static_cast<size_t>(g)] = static_cast<int64_t>(i);
    }
    return kept;
}

std::vector<SaveOutcome> save_outputs(const std::vector<VoiceRecord>& records, int32_t group_count,
                                      const std::string& directory, const std::vector<std::string>& prefixes) {
    const OutputPlan plan{records, directory, prefixes, kept_records(records, group_count)};
    std::vector<SaveOutcome> outcomes(plan.kept.size(), SaveOutcome::no_record);
    for (size_t g = 0; g < plan.kept.size(); ++g) save_group(plan, g, outcomes);
    return outcomes;
}

}  // namespace timbrex
