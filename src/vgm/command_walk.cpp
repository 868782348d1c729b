#include "vgm/command_walk.h"

#include "vgm/bytes.h"
#include "vgm/vgm_header.h"
#include "voice/register_decoding.h"

namespace timbrex {

namespace {

constexpr uint8_t kEndOfData = 0x66;
constexpr uint8_t kDataBlock = 0x67;
constexpr uint64_t kDataBlockHeader = 7;  // 0x67 0x66 type length32

constexpr void set_range(CommandLengths& lengths, int first, int last, uint8_t length) {
    for (int op = first; op <= last; ++op) lengths[static_cast<size_t>(op)] = length;
}

constexpr CommandLengths make_lengths(bool long_reserved) {
    CommandLengths t{};
    set_range(t, 0x00, 0x2F, 1);
    set_range(t, 0x30, 0x3F, 2);                         // reserved, one operand
    set_range(t, 0x40, 0x4E, long_reserved ? 3 : 2);     // reserved: two operands from 1.60 on
    set_range(t, 0x4F, 0x50, 2);                         // Game Gear stereo, PSG write
    set_range(t, 0x51, 0x5F, 3);                         // chip writes (0x52-0x54 handled), reserved
    set_range(t, 0x60, 0x60, 1);
    set_range(t, 0x61, 0x61, 3);                         // wait n samples
    set_range(t, 0x62, 0x65, 1);                         // waits 735 / 882, reserved
    set_range(t, kEndOfData, kDataBlock, 0);             // variable: handled in the walk
    set_range(t, 0x68, 0x68, 12);                        // PCM RAM write
    set_range(t, 0x69, 0x8F, 1);                         // 0x7n short waits, 0x8n YM2612 DAC + wait
    set_range(t, 0x90, 0x91, 5);                         // DAC stream setup, set data
    set_range(t, 0x92, 0x92, 6);                         // DAC stream frequency
    set_range(t, 0x93, 0x93, 11);                        // DAC stream start
    set_range(t, 0x94, 0x94, 2);                         // DAC stream stop
    set_range(t, 0x95, 0x95, 5);                         // DAC stream fast start
    set_range(t, 0x96, 0x9F, 1);
    set_range(t, 0xA0, 0xBF, 3);                         // two-operand chip writes
    set_range(t, 0xC0, 0xDF, 4);                         // three-operand chip writes
    set_range(t, 0xE0, 0xFF, 5);                         // PCM seek and four-operand commands
    return t;
}

constexpr CommandLengths kLengthsBefore160 = make_lengths(false);
constexpr CommandLengths kLengthsFrom160 = make_lengths(true);

}  // namespace

const CommandLengths& command_lengths_for(uint8_t major, uint8_t minor) {
    return has_long_reserved_commands(major, minor) ? kLengthsFrom160 : kLengthsBefore160;
}

void walk_commands(CaptureState& state, const uint8_t* buffer, uint64_t start, uint64_t size, int32_t file_index,
                   const CommandLengths& lengths) {
    uint64_t position = start;
    while (position < size) {
        const uint8_t opcode = buffer[position];
        uint64_t length = lengths[opcode];
        if (length == 0) {
            if (opcode == kEndOfData) return;
            // Data block: the whole block is skipped; its length is unsigned 32-bit
            // and the sum is 64-bit, so a huge length ends the walk rather than wrapping.
            if (position + kDataBlockHeader > size) return;
            length = kDataBlockHeader + read_le32(buffer, position + 3);
        }
        if (position + length > size) return;  // operands cut off: not executed
        switch (opcode) {
            case 0x52: ym2612_write(state, 0, buffer[position + 1], buffer[position + 2], file_index); break;
            case 0x53: ym2612_write(state, 1, buffer[position + 1], buffer[position + 2], file_index); break;
            case 0x54: ym2151_write(state, buffer[position + 1], buffer[position + 2], file_index); break;
            default: break;
        }
        position += length;
    }
}

}  // namespace timbrex
