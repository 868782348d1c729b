#include "vgm/vgm_loader.h"

#include <cstdio>

#include "messages.h"
#include "vgm/command_walk.h"
#include "vgm/log_reader.h"
#include "vgm/vgm_header.h"

namespace timbrex {

bool process_vgm(CaptureState& state, const std::string& path, int32_t file_index) {
    LogBuffer log;
    return process_vgm(state, path, file_index, log);
}

bool process_vgm(CaptureState& state, const std::string& path, int32_t file_index, LogBuffer& log) {
    return process_loaded_vgm(state, path, file_index, read_log(path, log), log);
}

bool process_loaded_vgm(CaptureState& state, const std::string& path, int32_t file_index, LogReadStatus status,
                        const LogBuffer& log) {
    switch (status) {
        case LogReadStatus::cannot_open: std::printf(messages::kCantOpenFile, path.c_str()); return false;
        case LogReadStatus::cannot_allocate: std::printf(messages::kCantAllocFile, path.c_str()); return false;
        case LogReadStatus::ok: break;
    }
    return replay_log(state, path, log.bytes.get(), log.length, file_index);
}

bool replay_log(CaptureState& state, const std::string& path, const uint8_t* data, size_t length, int32_t file_index) {
    VgmHeader header;
    if (!parse_vgm_header(data, length, header)) {
        std::printf(messages::kNoVgmFound, path.c_str());
        return false;
    }
    std::printf(messages::kProcessing, path.c_str(), bcd_to_int(header.major), bcd_to_int(header.minor));
    state.dac_mode = false;
    walk_commands(state, data, header.data_start, length, file_index, command_lengths_for(header.major, header.minor));
    return true;
}

}  // namespace timbrex
