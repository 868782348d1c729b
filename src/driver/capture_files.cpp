#include "driver/capture_files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/read_ahead.h"
#include "vgm/vgm_loader.h"

namespace timbrex {

namespace {

std::vector<size_t> file_positions(const InputList& inputs) {
    std::vector<size_t> files;
    for (size_t i = 0; i < inputs.entries.size(); ++i) {
        if (!inputs.entries[i].is_dir) files.push_back(i);
    }
    return files;
}

void replay(RunState& run, size_t position, LogReadStatus status) {
    reset_channel_images(run.capture.images);
    process_loaded_vgm(run.capture, run.inputs.entries[position].path, static_cast<int32_t>(position), status, run.log);
}

}  // namespace

void capture_all_files(RunState& run, unsigned cores) {
    const std::vector<size_t> files = file_positions(run.inputs);
    const std::vector<InputEntry>& entries = run.inputs.entries;
    // A single file has nothing to overlap with.
    if (files.size() < 2 || !start_read_ahead(run.read_ahead, cores)) {
        for (const size_t position : files) replay(run, position, read_log(entries[position].path, run.log));
        return;
    }
    request_load(run.read_ahead, entries[files[0]].path);
    for (size_t k = 0; k < files.size(); ++k) {
        const LogReadStatus status = take_load(run.read_ahead, run.log);
        if (k + 1 < files.size()) request_load(run.read_ahead, entries[files[k + 1]].path);
        replay(run, files[k], status);
    }
    stop_read_ahead(run.read_ahead);
}

}  // namespace timbrex
