#pragma once
// The YM2151 (OPM): its voice register map and key-on.

#include <cstdint>

#include "voice/chip_port.h"
#include "voice/file_capture.h"

namespace timbrex {

namespace opm {

// Key on/off (0x08), the connection registers (0x20-0x27) and the operator
// registers (0x40-0xFF); key codes, fractions and sensitivities left out.
constexpr RegisterSet ym2151_registers() {
    RegisterSet set{};
    set[0x08] = true;
    mark_registers(set, 0x20, 0x27);
    mark_registers(set, 0x40, 0xFF);
    return set;
}

inline constexpr RegisterSet kYm2151Registers = ym2151_registers();

// The handler, for registers of the set only.
void ym2151_port_write(FileCapture& state, uint8_t reg, uint8_t value);

}  // namespace opm

// VGM command 0x54.
inline constexpr ChipPort kYm2151Port{&opm::ym2151_port_write, &opm::kYm2151Registers};

// A write to the YM2151, as the walk hands it on.
inline void ym2151_write(FileCapture& state, uint8_t reg, uint8_t value) { write_port(kYm2151Port, state, reg, value); }

// Value written to YM2151 register 0x08.
void capture_key_on_ym2151(FileCapture& state, uint8_t value);

}  // namespace timbrex
