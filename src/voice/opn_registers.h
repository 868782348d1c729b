#pragma once
// The YM2612 (OPN2): its voice register map and key-on, both ports. A later
// chip of the OPN family shares this register map; its module and one row in
// the walk's table are all it needs.

#include <cstdint>

#include "voice/chip_port.h"
#include "voice/file_capture.h"

namespace timbrex {

namespace opn {

// The registers a YM2612 port acts on: key on/off (0x28) and DAC mode (0x2B)
// on port 0 only, and on both the operator and algorithm registers that name
// a channel (low bits not 3), frequencies (0xA0-0xAF) left out.
constexpr RegisterSet ym2612_registers(int port) {
    RegisterSet set{};
    if (port == 0) {
        set[0x28] = true;
        set[0x2B] = true;
    }
    for (int reg = 0x30; reg <= 0xB2; ++reg) {
        if ((reg & 3) != 3 && (reg & 0xF0) != 0xA0) set[static_cast<size_t>(reg)] = true;
    }
    return set;
}

inline constexpr RegisterSet kYm2612Port0Registers = ym2612_registers(0);
inline constexpr RegisterSet kYm2612Port1Registers = ym2612_registers(1);

// The handlers of the two ports, for registers of their sets only.
void ym2612_port0_write(FileCapture& state, uint8_t reg, uint8_t value);
void ym2612_port1_write(FileCapture& state, uint8_t reg, uint8_t value);

}  // namespace opn

// VGM command 0x52 (port 0) and 0x53 (port 1).
inline constexpr ChipPort kYm2612Port0{&opn::ym2612_port0_write, &opn::kYm2612Port0Registers};
inline constexpr ChipPort kYm2612Port1{&opn::ym2612_port1_write, &opn::kYm2612Port1Registers};

// A write to YM2612 port 0 or 1, as the walk hands it on.
inline void ym2612_write(FileCapture& state, int port, uint8_t reg, uint8_t value) {
    write_port(port == 0 ? kYm2612Port0 : kYm2612Port1, state, reg, value);
}

// Value written to YM2612 port 0 register 0x28.
void capture_key_on_ym2612(FileCapture& state, uint8_t value);

}  // namespace timbrex
