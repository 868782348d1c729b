#include "driver/capture_files.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "driver/file_harvest.h"
#include "messages.h"

namespace timbrex {

namespace {

// The file's voices that no earlier file gave, stamped with its index: the
// list a one-pass run over the files would have built. Every voice of the
// file is a hearing; a voice new to the run keeps the file's origin of it.
void merge_voices(RunState& run, const LogHarvest& harvest, int32_t file_index) {
    for (size_t i = 0; i < harvest.voices.size(); ++i) {
        const Listing listing = list_voice(run.voices, harvest.voices[i]);
        const CaptureOrigin& origin = harvest.origins[i];
        if (listing.added) {
            run.voices.records.back().file_index = file_index;
            run.hearings.first.push_back(origin);
        }
        run.hearings.hearings.push_back({listing.position, file_index, origin.captures});
    }
}

void take_file(RunState& run, size_t position, const FileOutcome& outcome) {
    const char* path = run.inputs.entries[position].path.c_str();
    if (outcome.out_of_memory) throw std::bad_alloc();
    switch (outcome.load) {
        case LogReadStatus::cannot_open: std::printf(messages::kCantOpenFile, path); return;
        case LogReadStatus::too_large:
        case LogReadStatus::cannot_allocate: std::printf(messages::kCantAllocFile, path); return;
        case LogReadStatus::ok: break;
    }
    const LogHarvest& harvest = outcome.harvest;
    if (harvest.status == HarvestStatus::not_vgm) {
        std::printf(messages::kNoVgmFound, path);
        return;
    }
    std::printf(messages::kProcessing, path, harvest.major, harvest.minor);
    if (harvest.status == HarvestStatus::out_of_memory) throw std::bad_alloc();
    run.hearings.failed_check[position] = outcome.failed_check;
    merge_voices(run, harvest, static_cast<int32_t>(position));
}

}  // namespace

void capture_all_files(RunState& run, unsigned threads) {
    std::vector<std::string> paths;
    std::vector<size_t> positions;
    run.hearings.failed_check.assign(run.inputs.entries.size(), false);
    for (size_t i = 0; i < run.inputs.entries.size(); ++i) {
        if (run.inputs.entries[i].is_dir) continue;
        paths.push_back(run.inputs.entries[i].path);
        positions.push_back(i);
    }
    harvest_in_order(paths, threads,
                     [&](size_t k, const FileOutcome& outcome) { take_file(run, positions[k], outcome); });
}

}  // namespace timbrex
