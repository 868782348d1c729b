#include "output/output_pass.h"

#include "output/voice_file.h"

namespace timbrex {

namespace {

GroupOutput save_group(const VoiceRecord& voice, int32_t group, const std::string& directory,
                       const std::string& prefix) {
    GroupOutput output;
    output.voice = voice;
    output.file_name = patch_file_name(prefix, group);
    output.path = output_file_name(directory, prefix, group);
    output.outcome = write_voice_file(voice, output.path) ? SaveOutcome::saved : SaveOutcome::failed;
    return output;
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

std::vector<GroupOutput> save_outputs(const std::vector<VoiceRecord>& records, int32_t group_count,
                                      const std::string& directory, const std::vector<std::string>& prefixes) {
    const std::vector<int64_t> kept = kept_records(records, group_count);
    std::vector<GroupOutput> outputs(kept.size());
    for (size_t g = 0; g < kept.size(); ++g) {
        if (kept[g] < 0) continue;
        const VoiceRecord& voice = records[static_cast<size_t>(kept[g])];
        outputs[g] =
            save_group(voice, static_cast<int32_t>(g), directory, prefixes[static_cast<size_t>(voice.file_index)]);
    }
    return outputs;
}

}  // namespace timbrex
