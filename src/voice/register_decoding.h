#pragma once
// Register handlers that keep the channel images equal to the chips' voice
// registers. Frequency, timer, LFO, stereo and sample registers are ignored.

#include <cstdint>

#include "voice/file_capture.h"

namespace timbrex {

// The handlers' work on the registers that can touch a voice; callers use
// ym2612_write and ym2151_write.
void ym2612_voice_write(FileCapture& state, int port, uint8_t reg, uint8_t value);
void ym2151_voice_write(FileCapture& state, uint8_t reg, uint8_t value);

// A write to YM2612 port 0 (VGM command 0x52) or port 1 (0x53). Frequency
// writes (0xA0-0xAF), most of a log's FM writes, are dropped here, inline,
// without the cost of a call.
inline void ym2612_write(FileCapture& state, int port, uint8_t reg, uint8_t value) {
    if ((reg & 0xF0) != 0xA0) ym2612_voice_write(state, port, reg, value);
}

// A write to the YM2151 (VGM command 0x54). Key code and key fraction writes
// (0x28-0x3F), most of a log's YM2151 writes, are dropped here.
inline void ym2151_write(FileCapture& state, uint8_t reg, uint8_t value) {
    if (reg < 0x28 || reg >= 0x40) ym2151_voice_write(state, reg, value);
}

}  // namespace timbrex
