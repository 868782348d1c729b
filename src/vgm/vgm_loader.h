#pragma once

#include <cstdint>
#include <string>

#include "vgm/log_reader.h"
#include "voice/capture_state.h"

namespace timbrex {

// Loads one log, reports it and replays its command stream into the capture
// state. True when the file was accepted as a VGM log; false after printing
// why it was not.
bool process_vgm(CaptureState& state, const std::string& path, int32_t file_index);

// The same, reading into `log`, whose memory the next call may reuse.
bool process_vgm(CaptureState& state, const std::string& path, int32_t file_index, LogBuffer& log);

// The part of process_vgm that follows read_log, whichever thread ran it: the
// message for a file that could not be read, else replay_log over its bytes.
bool process_loaded_vgm(CaptureState& state, const std::string& path, int32_t file_index, LogReadStatus status,
                        const LogBuffer& log);

// The part of process_vgm that follows the read: identifier, processing line,
// data start and command walk over `length` bytes of uncompressed log.
bool replay_log(CaptureState& state, const std::string& path, const uint8_t* data, size_t length, int32_t file_index);

}  // namespace timbrex
