#pragma once
// What the command walk needs to hand a chip's register writes to the capture:
// the registers that can touch a voice or key a channel, and the handler that
// acts on them. Each chip family's module defines one port per VGM write
// command; the walk's table names them, one row per command.

#include <array>
#include <cstdint>

#include "voice/file_capture.h"

namespace timbrex {

// True for each register address the port's handler acts on. Writes to the
// others (most of a log's writes are frequencies) are dropped by the walk
// without a call.
using RegisterSet = std::array<bool, 256>;

using RegisterWrite = void (*)(FileCapture& state, uint8_t reg, uint8_t value);

struct ChipPort {
    RegisterWrite write = nullptr;  // null: a command the capture does not listen to
    const RegisterSet* registers = nullptr;
};

// Hands a write to the port when its register is one the port acts on.
inline void write_port(const ChipPort& port, FileCapture& state, uint8_t reg, uint8_t value) {
    if ((*port.registers)[reg]) port.write(state, reg, value);
}

constexpr void mark_registers(RegisterSet& set, int first, int last) {
    for (int reg = first; reg <= last; ++reg) set[static_cast<size_t>(reg)] = true;
}

// The slot field of one operator register: the value's bits from `shift`
// under `mask`, as the datasheets draw them.
constexpr int32_t field(uint8_t value, unsigned shift, unsigned mask) {
    return static_cast<int32_t>((static_cast<unsigned>(value) >> shift) & mask);
}

}  // namespace timbrex
