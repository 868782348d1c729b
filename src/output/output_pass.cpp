#include "output/output_pass.h"

#include <new>
#include <system_error>
#include <thread>

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

// Finds each group's record in one pass rather than one scan of the list per group.
OutputPlan plan_outputs(const std::vector<VoiceRecord>& records, int32_t group_count, const std::string& directory,
                        const std::vector<std::string>& prefixes) {
    OutputPlan plan{records, directory, prefixes, std::vector<int64_t>(static_cast<size_t>(group_count), -1)};
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        if (g >= 0 && g < group_count && plan.kept[static_cast<size_t>(g)] < 0)
            plan.kept[static_cast<size_t>(g)] = static_cast<int64_t>(i);
    }
    return plan;
}

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

// Groups first, first + step, ...; each writer sets only its own groups' outcomes.
void save_groups(const OutputPlan& plan, size_t first, size_t step, std::vector<SaveOutcome>& outcomes) {
    for (size_t g = first; g < plan.kept.size(); g += step) save_group(plan, g, outcomes);
}

// The second writer's share, the odd groups. Out of memory it stops; the
// groups it has not reached still say no_record and are saved by the first
// writer after the join, where running out of memory ends the run as it
// does everywhere else.
void save_odd_groups(const OutputPlan& plan, std::vector<SaveOutcome>& outcomes) noexcept {
    try {
        save_groups(plan, 1, 2, outcomes);
    } catch (const std::bad_alloc&) {
    }
}

// Creating a file is a few system calls that mostly wait on the file system,
// so two threads creating different files at once finish sooner than one.
// Every group's name is unique (the prefix ends in "_", the group number
// follows), so the two never touch the same file.
void save_with_two_writers(const OutputPlan& plan, std::vector<SaveOutcome>& outcomes) {
    std::thread second;
    try {
        second = std::thread(save_odd_groups, std::cref(plan), std::ref(outcomes));
    } catch (const std::system_error&) {
        save_groups(plan, 0, 1, outcomes);
        return;
    }
    try {
        save_groups(plan, 0, 2, outcomes);
    } catch (...) {
        // Out of memory on this thread: the second must end before the
        // failure travels on, or its std::thread would end the process.
        second.join();
        throw;
    }
    second.join();
    for (size_t g = 1; g < plan.kept.size(); g += 2) {
        if (outcomes[g] == SaveOutcome::no_record) save_group(plan, g, outcomes);
    }
}

std::vector<SaveOutcome> save_planned(const OutputPlan& plan, OutputWriters writers) {
    std::vector<SaveOutcome> outcomes(plan.kept.size(), SaveOutcome::no_record);
    if (writers == OutputWriters::two && plan.kept.size() > 1) {
        save_with_two_writers(plan, outcomes);
    } else {
        save_groups(plan, 0, 1, outcomes);
    }
    return outcomes;
}

}  // namespace

std::vector<SaveOutcome> save_outputs(const std::vector<VoiceRecord>& records, int32_t group_count,
                                      const std::string& directory, const std::vector<std::string>& prefixes,
                                      OutputWriters writers) {
    return save_planned(plan_outputs(records, group_count, directory, prefixes), writers);
}

}  // namespace timbrex
