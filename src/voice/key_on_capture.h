#pragma once
// Deciding at key-on whether a channel's voice is new, and keeping it if so.

#include <cstdint>

#include "voice/file_capture.h"

namespace timbrex {

// Value written to YM2612 port 0 register 0x28.
void capture_key_on_ym2612(FileCapture& state, uint8_t value);

// Value written to YM2151 register 0x08.
void capture_key_on_ym2151(FileCapture& state, uint8_t value);

// Appends the channel's image when it changed since the channel's previous
// handled key-on, makes sound and is not among the file's voices yet; the
// snapshot then takes the image in any case.
void capture_voice(FileCapture& state, int channel);

}  // namespace timbrex
