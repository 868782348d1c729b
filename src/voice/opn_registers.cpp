#include "voice/opn_registers.h"

#include "voice/key_on_capture.h"

namespace timbrex {

namespace {

constexpr int kDacChannel = 5;
constexpr int kChannelsPerPort = 3;

// Register 0x28 bits 0-2: codes 0-2 are channels 1-3, codes 4-6 are channels
// 4-6. The unused codes 3 and 7 land on indices 3 and 6.
int channel_from_key_code(unsigned code) {
    // Arithmetic rather than a choice: key-ons of both halves alternate
    // without pattern, and a branch here would be mispredicted.
    return static_cast<int>(code) - static_cast<int>(code > 3);
}

// 0x30-0x9F: operator registers, one row per 16-register block; address bits
// 0-1 pick the channel within the port, bits 2-3 the slot.
//   0x30-0x3F  -xxx----  DT    ----xxxx  MUL
//   0x40-0x4F  -xxxxxxx  TL
//   0x50-0x5F  xx------  RS    ---xxxxx  AR
//   0x60-0x6F  x-------  AM (ignored)   ---xxxxx  DR
//   0x70-0x7F  ---xxxxx  SR
//   0x80-0x8F  xxxx----  SL    ----xxxx  RR
//   0x90-0x9F  ----xxxx  SSG-EG
// clang-format off
void write_operator(FmOperator& op, uint8_t reg, uint8_t value) {
    switch (reg >> 4) {
        case 0x3: op.DT = detune_from_code(static_cast<unsigned>(field(value, 4, 7))); op.MUL = field(value, 0, 0x0F); break;
        case 0x4: op.TL = field(value, 0, 0x7F); break;
        case 0x5: op.RS = field(value, 6, 3); op.AR = field(value, 0, 0x1F); break;
        case 0x6: op.DR = field(value, 0, 0x1F); break;
        case 0x7: op.SR = field(value, 0, 0x1F); break;
        case 0x8: op.SL = field(value, 4, 0x0F); op.RR = field(value, 0, 0x0F); break;
        case 0x9: op.SSG = field(value, 0, 0x0F); break;
        default: break;
    }
}
// clang-format on

// 0x30-0xB2 on either port, for the port's channels 0-2.
void write_channel(FileCapture& state, int port, uint8_t reg, uint8_t value) {
    VoiceRecord& image = state.images.current[port * kChannelsPerPort + (reg & 3)];
    if (reg >= 0xB0) {
        // 0xB0-0xB2  --xxx---  FB    -----xxx  ALG
        image.ALG = field(value, 0, 7);
        image.FB = field(value, 3, 7);
        return;
    }
    write_operator(image.slot[(reg >> 2) & 3], reg, value);
}

}  // namespace

namespace opn {

// 0x28  xxxx----  key on per slot   -----xxx  channel code
// 0x2B  x-------  DAC mode (channel 6 plays samples)
void ym2612_port0_write(FileCapture& state, uint8_t reg, uint8_t value) {
    if (reg == 0x28) {
        capture_key_on_ym2612(state, value);
    } else if (reg == 0x2B) {
        state.dac_mode = (value & 0x80) != 0;
    } else {
        write_channel(state, 0, reg, value);
    }
}

// Port 1 holds channels 4-6 and no key-on or DAC register.
void ym2612_port1_write(FileCapture& state, uint8_t reg, uint8_t value) { write_channel(state, 1, reg, value); }

}  // namespace opn

void capture_key_on_ym2612(FileCapture& state, uint8_t value) {
    const int channel = channel_from_key_code(value & 7u);
    if (channel == kDacChannel && state.dac_mode) return;
    if ((value & 0xF0u) == 0) return;  // key-off: no operator keyed on
    capture_voice(state, Chip::ym2612, channel);
}

}  // namespace timbrex
