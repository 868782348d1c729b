#include "driver/provenance.h"

namespace timbrex {

std::vector<GroupHearing> hearings_by_group(const RunHearings& run, const std::vector<VoiceRecord>& records,
                                            int32_t group_count) {
    const auto groups = static_cast<size_t>(group_count < 0 ? 0 : group_count);
    std::vector<GroupHearing> heard(groups);
    std::vector<int32_t> last_log(groups, -1);
    for (const VoiceHearing& hearing : run.hearings) {
        const int32_t group = records[static_cast<size_t>(hearing.voice)].group;
        if (group < 0 || static_cast<size_t>(group) >= groups) continue;
        const auto g = static_cast<size_t>(group);
        heard[g].captures += hearing.captures;
        if (last_log[g] != hearing.file_index) {
            last_log[g] = hearing.file_index;
            ++heard[g].logs;
        }
    }
    return heard;
}

InstrumentOrigin instrument_origin(const RunHearings& run, const std::vector<VoiceRecord>& records, size_t kept,
                                   const GroupHearing& group) {
    const CaptureOrigin& first = run.first[kept];
    InstrumentOrigin origin;
    origin.chip = first.chip;
    origin.channel = first.channel;
    origin.sample = first.sample;
    origin.logs = group.logs;
    origin.captures = group.captures;
    const auto file = static_cast<size_t>(records[kept].file_index);
    origin.failed_check = file < run.failed_check.size() && run.failed_check[file];
    return origin;
}

}  // namespace timbrex
