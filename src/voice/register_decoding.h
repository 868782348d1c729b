#pragma once
// Register handlers that keep the channel images equal to the chips' voice
// registers. Frequency, timer, LFO, stereo and sample registers are ignored.

#include <cstdint>

#include "voice/capture_state.h"

namespace timbrex {

// A write to YM2612 port 0 (VGM command 0x52) or port 1 (0x53).
void ym2612_write(CaptureState& state, int port, uint8_t reg, uint8_t value, int32_t file_index);

// A write to the YM2151 (VGM command 0x54).
void ym2151_write(CaptureState& state, uint8_t reg, uint8_t value, int32_t file_index);

}  // namespace timbrex
