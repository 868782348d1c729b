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
// list a one-pass run over the files would have built.
void merge_voices(VoiceList& voices, const std::vector<VoiceRecord>& file_voices, int32_t file_index) {
    for (const VoiceRecord& voice : file_voices) {
        if (append_if_new(voices, voice)) voices.records.back().file_index = file_index;
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
    merge_voices(run.voices, harvest.voices, static_cast<int32_t>(position));
}

}  // namespace

void capture_all_files(RunState& run, unsigned threads) {
    std::vector<std::string> paths;
    std::vector<size_t> positions;
    for (size_t i = 0; i < run.inputs.entries.size(); ++i) {
        if (run.inputs.entries[i].is_dir) continue;
        paths.push_back(run.inputs.entries[i].path);
        positions.push_back(i);
    }
    harvest_in_order(paths, threads,
                     [&](size_t k, const FileOutcome& outcome) { take_file(run, positions[k], outcome); });
}

}  // namespace timbrex
