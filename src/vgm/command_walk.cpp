#include "vgm/command_walk.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#define TIMBREX_WALK_SSE2 1
#else
#define TIMBREX_WALK_SSE2 0
#endif

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

// clang-format off
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
// clang-format on

constexpr CommandLengths kLengthsBefore160 = make_lengths(false);
constexpr CommandLengths kLengthsFrom160 = make_lengths(true);

// Short waits (0x7n) and DAC writes (0x8n) are one byte long in every version
// and write no voice register.
bool is_short_command(uint8_t opcode) { return static_cast<uint8_t>(opcode - 0x70) < 0x20; }

#if TIMBREX_WALK_SSE2

// Bit i set when byte i of the sixteen at `bytes` is not a short command.
uint32_t non_short_bits(const uint8_t* bytes) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    // Adding 0x10 moves 0x70-0x8F to 0x80-0x9F, which as signed bytes are the
    // only values below -96.
    const __m128i moved = _mm_add_epi8(chunk, _mm_set1_epi8(0x10));
    const __m128i short_bytes = _mm_cmplt_epi8(moved, _mm_set1_epi8(-96));
    return ~static_cast<uint32_t>(_mm_movemask_epi8(short_bytes)) & 0xFFFFu;
}

uint64_t lowest_bit_index(uint32_t bits) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index = 0;
    _BitScanForward(&index, bits);
    return index;
#else
    return static_cast<uint64_t>(__builtin_ctz(bits));
#endif
}

// The position after a run of short commands. Most of a log with a DAC
// stream is such runs; taken 32 bytes at a time they cost a fraction of the
// general step, whose every byte waits on two dependent loads (opcode, then
// its length).
uint64_t skip_short_commands(const uint8_t* buffer, uint64_t position, uint64_t size) {
    while (size - position >= 32) {
        const uint32_t bits = non_short_bits(buffer + position) | non_short_bits(buffer + position + 16) << 16;
        if (bits != 0) return position + lowest_bit_index(bits);
        position += 32;
    }
    while (position < size && is_short_command(buffer[position])) ++position;
    return position;
}

#else

// Without 16-byte compares (a wasm build among others) the run is taken a
// byte at a time.
uint64_t skip_short_commands(const uint8_t* buffer, uint64_t position, uint64_t size) {
    while (position < size && is_short_command(buffer[position])) ++position;
    return position;
}

#endif

// The writes of the two chips the capture listens to (0x52, 0x53: YM2612 ports
// 0 and 1; 0x54: YM2151); every other command is stepped over. The caller has
// checked that both operand bytes are in the buffer.
inline void execute_chip_write(FileCapture& state, const uint8_t* command) {
    switch (command[0]) {
        case 0x52: ym2612_write(state, 0, command[1], command[2]); break;
        case 0x53: ym2612_write(state, 1, command[1], command[2]); break;
        case 0x54: ym2151_write(state, command[1], command[2]); break;
        default: break;
    }
}

// The constant steps of the walk are the lengths both tables give these
// commands; a table that gave another would have to be walked without them.
constexpr bool has_constant_step_lengths(const CommandLengths& lengths) {
    for (int opcode = 0x70; opcode <= 0x8F; ++opcode) {
        if (lengths[static_cast<size_t>(opcode)] != 1) return false;
    }
    return lengths[0x50] == 2 && lengths[0x52] == 3 && lengths[0x53] == 3 && lengths[0x54] == 3 && lengths[0x61] == 3 &&
           lengths[0x62] == 1 && lengths[0x63] == 1;
}
static_assert(has_constant_step_lengths(kLengthsBefore160) && has_constant_step_lengths(kLengthsFrom160),
              "the walk's constant steps follow the command tables");

// The longest command the walk takes with a constant step; nearer the end of
// the buffer than this, the general step checks every command's length.
constexpr uint64_t kLongestConstantStep = 3;

}  // namespace

const CommandLengths& command_lengths_for(uint8_t major, uint8_t minor) {
    return has_long_reserved_commands(major, minor) ? kLengthsFrom160 : kLengthsBefore160;
}

void walk_commands(FileCapture& state, const uint8_t* buffer, uint64_t start, uint64_t size,
                   const CommandLengths& lengths) {
    uint64_t position = start;
    while (position < size) {
        const uint8_t opcode = buffer[position];
        // The commands that fill real logs, away from the end of the buffer,
        // take a constant step: the next opcode can be read before this one's
        // length would have arrived from the table, and no bound needs checking.
        if (size - position >= kLongestConstantStep) {
            switch (opcode) {
                case 0x50: position += 2; continue;
                case 0x52:
                case 0x53:
                case 0x54:
                    execute_chip_write(state, buffer + position);
                    position += 3;
                    continue;
                case 0x61: position += 3; continue;
                case 0x62:
                case 0x63: position += 1; continue;
                default:
                    if (is_short_command(opcode)) {
                        position = skip_short_commands(buffer, position + 1, size);
                        continue;
                    }
                    break;
            }
        }
        uint64_t length = lengths[opcode];
        if (length == 0) {
            if (opcode == kEndOfData) return;
            // Data block: the whole block is skipped; its length is unsigned 32-bit
            // and the sum is 64-bit, so a huge length ends the walk rather than wrapping.
            if (position + kDataBlockHeader > size) return;
            length = kDataBlockHeader + read_le32(buffer + position, 3);
        }
        if (position + length > size) return;  // operands cut off: not executed
        execute_chip_write(state, buffer + position);
        position += length;
    }
}

}  // namespace timbrex
