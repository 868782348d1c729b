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
#include "voice/chip_port.h"
#include "voice/opm_registers.h"
#include "voice/opn_registers.h"

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

// The samples each short command waits: 0x7n waits n + 1, 0x8n (a DAC byte,
// then a wait) waits n. Looked up rather than computed: the walk's one-byte
// steps are the commonest of all.
using ShortWaits = std::array<uint8_t, 0x20>;
constexpr ShortWaits make_short_waits() {
    ShortWaits waits{};
    for (unsigned n = 0; n < 0x10; ++n) {
        waits[n] = static_cast<uint8_t>(n + 1);
        waits[0x10 + n] = static_cast<uint8_t>(n);
    }
    return waits;
}
constexpr ShortWaits kShortWaits = make_short_waits();

// The caller has checked that `opcode` is a short command.
uint64_t short_command_wait(uint8_t opcode) { return kShortWaits[static_cast<uint8_t>(opcode - 0x70)]; }

constexpr uint64_t kWaitNtscFrame = 735;  // 0x62: 1/60 s at 44.1 kHz
constexpr uint64_t kWaitPalFrame = 882;   // 0x63: 1/50 s

#if TIMBREX_WALK_SSE2

__m128i load_chunk(const uint8_t* bytes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }

// Sixteen bytes of the log plus 0x10 each: the short commands 0x70-0x8F
// become 0x80-0x9F, which as signed bytes are the only values below -96.
__m128i load_moved(const uint8_t* bytes) { return _mm_add_epi8(load_chunk(bytes), _mm_set1_epi8(0x10)); }

// 0xFF in each byte of `moved` that is a short command, 0 in the others.
__m128i short_bytes(__m128i moved) { return _mm_cmplt_epi8(moved, _mm_set1_epi8(-96)); }

// Bit i set when byte i of the 32 in `low` and `high` is a short command.
uint32_t short_bits(__m128i low_short, __m128i high_short) {
    const auto low = static_cast<uint32_t>(_mm_movemask_epi8(low_short));
    const auto high = static_cast<uint32_t>(_mm_movemask_epi8(high_short));
    return low | high << 16;
}

// The wait of each of sixteen short commands, moved: 0x7n is 0x80 + n, less
// 0x7F its wait n + 1; 0x8n is 0x90 + n, with 0x90 flipped off its wait n.
// The other way gives each 16 or more above its wait; the smaller is it.
__m128i short_waits(__m128i moved) {
    return _mm_min_epu8(_mm_sub_epi8(moved, _mm_set1_epi8(0x7F)), _mm_xor_si128(moved, _mm_set1_epi8(-112)));
}

// The waits of 32 short commands, as two 64-bit sums.
__m128i chunk_waits(__m128i low, __m128i high) {
    return _mm_sad_epu8(_mm_add_epi8(short_waits(low), short_waits(high)), _mm_setzero_si128());
}

// 32 bytes of 0xFF, then 32 of 0: the 32 bytes from `32 - count` keep the
// first `count` bytes of a chunk.
// clang-format off
alignas(64) constexpr uint8_t kLeadingBytes[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// clang-format on

// The waits of the first `count` (0 to 31) bytes of a moved chunk, all
// short commands, as two 64-bit sums.
__m128i leading_waits(__m128i low, __m128i high, uint64_t count) {
    const uint8_t* keep = kLeadingBytes + 32 - count;
    return _mm_sad_epu8(_mm_add_epi8(_mm_and_si128(short_waits(low), load_chunk(keep)),
                                     _mm_and_si128(short_waits(high), load_chunk(keep + 16))),
                        _mm_setzero_si128());
}

uint64_t total_of(__m128i sums) {
    const __m128i total = _mm_add_epi64(sums, _mm_unpackhi_epi64(sums, sums));
#if defined(__x86_64__) || defined(_M_X64)
    return static_cast<uint64_t>(_mm_cvtsi128_si64(total));
#else
    uint64_t halves[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), total);
    return halves[0];
#endif
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

// The rest of a run of short commands from `position`, taken 32 bytes at a
// time while 32 are left: each chunk's waits add up in a register, taken out
// once at the end of the run. Long runs are a DAC stream's bulk, and this
// costs them a fraction of the general step, whose every byte waits on two
// dependent loads (opcode, then its length).
uint64_t skip_short_chunks(const uint8_t* buffer, uint64_t position, uint64_t size, uint64_t& samples) {
    __m128i sums = _mm_setzero_si128();
    while (size - position >= 32) {
        const __m128i low = load_moved(buffer + position);
        const __m128i high = load_moved(buffer + position + 16);
        const __m128i low_short = short_bytes(low);
        const __m128i high_short = short_bytes(high);
        if (_mm_movemask_epi8(_mm_and_si128(low_short, high_short)) != 0xFFFF) {
            const uint64_t run = lowest_bit_index(~short_bits(low_short, high_short));
            samples += total_of(_mm_add_epi64(sums, leading_waits(low, high, run)));
            return position + run;
        }
        sums = _mm_add_epi64(sums, chunk_waits(low, high));
        position += 32;
    }
    samples += total_of(sums);
    while (position < size && is_short_command(buffer[position])) samples += short_command_wait(buffer[position++]);
    return position;
}

#else

// Without 16-byte compares (a wasm build among others) the run is taken a
// byte at a time.
uint64_t skip_short_chunks(const uint8_t* buffer, uint64_t position, uint64_t size, uint64_t& samples) {
    while (position < size && is_short_command(buffer[position])) samples += short_command_wait(buffer[position++]);
    return position;
}

#endif

// The position after a run of short commands that starts at `position`,
// whose waits are added to `samples`. Most runs are one or two commands long
// (a wait between two writes, a DAC byte and its wait): those are taken a
// byte at a time, and only a longer run in chunks.
uint64_t skip_short_commands(const uint8_t* buffer, uint64_t position, uint64_t size, uint64_t& samples) {
    for (int taken = 0; taken < 3; ++taken) {
        if (position == size || !is_short_command(buffer[position])) return position;
        samples += short_command_wait(buffer[position++]);
    }
    return skip_short_chunks(buffer, position, size, samples);
}

// The chip writes the capture listens to, one row per VGM command; every
// other command is stepped over. Each port belongs to its chip family's
// module; a chip of a family already here needs its port and a row.
struct ChipCommand {
    uint8_t opcode;
    ChipPort port;
};
constexpr ChipCommand kChipCommands[] = {
    {0x52, kYm2612Port0},  // YM2612 port 0
    {0x53, kYm2612Port1},  // YM2612 port 1
    {0x54, kYm2151Port},   // YM2151
};

using ChipPorts = std::array<ChipPort, 256>;

constexpr ChipPorts make_chip_ports() {
    ChipPorts ports{};
    for (const ChipCommand& command : kChipCommands) ports[command.opcode] = command.port;
    return ports;
}
constexpr ChipPorts kChipPorts = make_chip_ports();

// The two-operand chip writes of the VGM format, the range every row falls in:
// the walk steps the whole range as one case, so a new row needs nothing else.
constexpr int kFirstChipWrite = 0x51;
constexpr int kLastChipWrite = 0x5F;

constexpr bool rows_are_chip_writes() {
    bool inside = true;
    for (const ChipCommand& command : kChipCommands) {
        inside = inside && command.opcode >= kFirstChipWrite && command.opcode <= kLastChipWrite;
    }
    return inside;
}
static_assert(rows_are_chip_writes(), "every port is reached by a two-operand chip write");

// Hands a chip write to its port, if the capture listens to the command and
// the port to the register. The caller has checked that both operand bytes
// are in the buffer.
inline void execute_chip_write(FileCapture& state, const uint8_t* command) {
    const ChipPort& port = kChipPorts[command[0]];
    if (port.write == nullptr || !(*port.registers)[command[1]]) return;
    port.write(state, command[1], command[2]);
}

// The constant steps of the walk are the lengths both tables give these
// commands; a table that gave another would have to be walked without them.
constexpr bool has_constant_step_lengths(const CommandLengths& lengths) {
    for (int opcode = 0x70; opcode <= 0x8F; ++opcode) {
        if (lengths[static_cast<size_t>(opcode)] != 1) return false;
    }
    for (int opcode = kFirstChipWrite; opcode <= kLastChipWrite; ++opcode) {
        if (lengths[static_cast<size_t>(opcode)] != 3) return false;
    }
    return lengths[0x50] == 2 && lengths[0x61] == 3 && lengths[0x62] == 1 && lengths[0x63] == 1;
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
    // The log's time line: each wait is added where a key-on reads it, an
    // addition to memory that no chip write has to pass on.
    uint64_t& samples = state.now;
    samples = 0;
    while (position < size) {
        const uint8_t opcode = buffer[position];
        // The commands that fill real logs, away from the end of the buffer,
        // take a constant step: the next opcode can be read before this one's
        // length would have arrived from the table, and no bound needs checking.
        if (size - position >= kLongestConstantStep) {
            switch (opcode) {
                case 0x50: position += 2; continue;
                case 0x61:
                    samples += read_le16(buffer, position + 1);
                    position += 3;
                    continue;
                case 0x62:
                    samples += kWaitNtscFrame;
                    position += 1;
                    continue;
                case 0x63:
                    samples += kWaitPalFrame;
                    position += 1;
                    continue;
                // kFirstChipWrite to kLastChipWrite: listened to or stepped over.
                case 0x51:
                case 0x52:
                case 0x53:
                case 0x54:
                case 0x55:
                case 0x56:
                case 0x57:
                case 0x58:
                case 0x59:
                case 0x5A:
                case 0x5B:
                case 0x5C:
                case 0x5D:
                case 0x5E:
                case 0x5F: {
                    execute_chip_write(state, buffer + position);
                    position += 3;
                    continue;
                }
                default:
                    if (is_short_command(opcode)) {
                        position = skip_short_commands(buffer, position, size, samples);
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
        // The waits of the constant steps need not be counted here: within
        // their length of the end no key-on follows them.
        execute_chip_write(state, buffer + position);
        position += length;
    }
}

}  // namespace timbrex
