#pragma once
// Stepping through a VGM command stream and handing the FM register writes of
// the YM2612 and YM2151 to the register handlers.

#include <array>
#include <cstdint>

#include "voice/file_capture.h"

namespace timbrex {

// Length in bytes of every opcode, opcode included. 0 marks the two commands
// whose length is not fixed: 0x66 (end of sound data) and 0x67 (data block).
using CommandLengths = std::array<uint8_t, 256>;

// The lengths for a log of the given version (raw header bytes 0x09 and 0x08).
const CommandLengths& command_lengths_for(uint8_t major, uint8_t minor);

// Walks from `start` while the position is below `size`, the number of bytes
// that are really in `buffer`. A command that would reach past `size` ends the
// walk unexecuted, so no byte outside the buffer is ever read.
void walk_commands(FileCapture& state, const uint8_t* buffer, uint64_t start, uint64_t size,
                   const CommandLengths& lengths);

}  // namespace timbrex
