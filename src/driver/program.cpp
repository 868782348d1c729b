#include "driver/program.h"

#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "driver/capture_files.h"
#include "driver/directory_walk.h"
#include "driver/run_state.h"
#include "messages.h"
#include "output/grouping.h"
#include "output/output_pass.h"
#include "platform/cpu_count.h"
#include "platform/filesystem.h"

namespace timbrex {

namespace {

void print_usage() {
    std::fputs(messages::kUsageTitle, stdout);
    std::fputs(messages::kUsageFiles, stdout);
    std::fputs(messages::kUsageDirectory, stdout);
}

bool is_walk_request(const std::string& argument) { return !argument.empty() && argument.back() == '*'; }

// Fills the input list from the arguments; false if the walk hit its fatal case.
bool collect_inputs(RunState& run, const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && is_walk_request(arguments[0])) {
        const bool walked = walk_directories(run.inputs, arguments[0]);
        platform::enter_directory(run.start_directory);
        return walked;
    }
    // With two or more arguments a trailing "*" is no walk request: the suffix
    // filter drops it like any other non-VGM name.
    for (const std::string& argument : arguments) add_input(run.inputs, argument, false);
    return true;
}

// The instrument of each group: its file's name, where its voice was heard,
// and whether the save succeeded; "ERR: Can't save file" for each failure, in
// group order.
std::vector<SavedInstrument> save_instruments(const RunState& run, int32_t group_count,
                                              const std::vector<GroupHearing>& heard) {
    std::vector<std::string> prefixes;
    prefixes.reserve(run.inputs.entries.size());
    for (const InputEntry& entry : run.inputs.entries) prefixes.push_back(entry.prefix);
    const std::vector<GroupOutput> outputs =
        save_outputs(run.voices.records, group_count, run.start_directory, prefixes);

    const std::vector<int64_t> kept = kept_records(run.voices.records, group_count);
    std::vector<SavedInstrument> instruments;
    for (size_t g = 0; g < outputs.size(); ++g) {
        const GroupOutput& output = outputs[g];
        if (output.outcome == SaveOutcome::no_record) continue;
        SavedInstrument instrument;
        instrument.file_name = output.file_name;
        instrument.source_path = run.inputs.entries[static_cast<size_t>(output.voice.file_index)].path;
        instrument.saved = output.outcome == SaveOutcome::saved;
        instrument.origin = instrument_origin(run.hearings, run.voices.records, static_cast<size_t>(kept[g]), heard[g]);
        if (!instrument.saved) std::printf(messages::kCantSaveFile, output.path.c_str());
        instruments.push_back(std::move(instrument));
    }
    return instruments;
}

std::vector<SavedInstrument> run_sequence(RunState& run, const std::vector<std::string>& arguments, unsigned threads) {
    // Outputs go here whatever directories the walk enters later. Should the
    // directory be unreadable, "." still names it.
    run.start_directory = platform::current_directory().value_or(".");
    if (!collect_inputs(run, arguments)) return {};
    capture_all_files(run, threads);
    std::vector<VoiceRecord>& voices = run.voices.records;
    const int32_t group_count = group_voices(voices);
    const std::vector<GroupHearing> heard = hearings_by_group(run.hearings, voices, group_count);
    select_loudest(voices, group_count);
    std::printf(messages::kInstrumentsFound, group_count);
    return save_instruments(run, group_count, heard);
}

}  // namespace

std::vector<SavedInstrument> run_harvest(const std::vector<std::string>& arguments, unsigned threads) {
    std::vector<SavedInstrument> instruments;
    if (arguments.empty()) {
        print_usage();
    } else {
        try {
            RunState run;
            instruments = run_sequence(run, arguments, threads == 0 ? 1 : threads);
        } catch (const std::bad_alloc&) {
            // Everything the run owned is released by the time we get here.
            instruments.clear();
            std::fputs(messages::kOutOfMemory, stdout);
        }
    }
    std::fflush(stdout);
    return instruments;
}

int run_program(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    run_harvest(arguments, platform::usable_cpu_count());
    return 0;
}

}  // namespace timbrex
