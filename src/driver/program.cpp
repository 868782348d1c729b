#include "driver/program.h"

#include <cstdio>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "driver/capture_files.h"
#include "driver/directory_walk.h"
#include "driver/run_state.h"
#include "messages.h"
#include "output/grouping.h"
#include "output/output_pass.h"
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
bool collect_inputs(RunState& run, int argc, char** argv) {
    if (argc == 2 && is_walk_request(argv[1])) {
        const bool walked = walk_directories(run.inputs, argv[1]);
        platform::enter_directory(run.start_directory);
        return walked;
    }
    // With two or more arguments a trailing "*" is no walk request: the suffix
    // filter drops it like any other non-VGM name.
    for (int i = 1; i < argc; ++i) add_input(run.inputs, argv[i], false);
    return true;
}

void harvest(RunState& run) {
    std::vector<VoiceRecord>& voices = run.capture.voices.records;
    const int32_t group_count = group_voices(voices);
    select_loudest(voices, group_count);
    std::printf(messages::kInstrumentsFound, group_count);

    std::vector<std::string> prefixes;
    prefixes.reserve(run.inputs.entries.size());
    for (const InputEntry& entry : run.inputs.entries) prefixes.push_back(entry.prefix);
    write_outputs(voices, group_count, run.start_directory, prefixes);
}

void run_sequence(RunState& run, int argc, char** argv) {
    // Outputs go here whatever directories the walk enters later. Should the
    // directory be unreadable, "." still names it.
    run.start_directory = platform::current_directory().value_or(".");
    if (!collect_inputs(run, argc, argv)) return;
    capture_all_files(run, std::thread::hardware_concurrency());
    harvest(run);
}

}  // namespace

int run_program(int argc, char** argv) {
    if (argc < 2) {
        print_usage();
        return 0;
    }
    try {
        RunState run;
        run_sequence(run, argc, argv);
    } catch (const std::bad_alloc&) {
        // Everything the run owned is released by the time we get here.
        std::fputs(messages::kOutOfMemory, stdout);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace timbrex
