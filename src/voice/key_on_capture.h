#pragma once
// Deciding at key-on whether a channel's voice is new, and keeping it if so.

#include <cstdint>

#include "voice/capture_state.h"

namespace timbrex {

// Value written to YM2612 port 0 register 0x28.
void capture_key_on_ym2612(CaptureState& state, uint8_t value, int32_t file_index);

// Value written to YM2151 register 0x08.
void capture_key_on_ym2151(CaptureState& state, uint8_t value, int32_t file_index);

// Appends the channel's image when it changed since the channel's previous
// handled key-on, makes sound and is not in the list yet; the snapshot then
// takes the image in any case.
void capture_voice(CaptureState& state, int channel, int32_t file_index);

}  // namespace timbrex
