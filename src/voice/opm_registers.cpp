#include "voice/opm_registers.h"

#include "voice/key_on_capture.h"

namespace timbrex {

namespace {

// 0x40-0xFF: operator registers, one row per 32-register block; address bits
// 0-2 pick the channel, bits 3-4 the slot.
//   0x40-0x5F  -xxx----  DT1   ----xxxx  MUL
//   0x60-0x7F  -xxxxxxx  TL
//   0x80-0x9F  xx------  KS    ---xxxxx  AR
//   0xA0-0xBF  x-------  AMS-EN (ignored)  ---xxxxx  D1R
//   0xC0-0xDF  xx------  DT2 (ignored)     ---xxxxx  D2R
//   0xE0-0xFF  xxxx----  D1L   ----xxxx  RR
// clang-format off
void write_operator(FmOperator& op, uint8_t reg, uint8_t value) {
    switch (reg >> 5) {
        case 0x2: op.DT = detune_from_code(static_cast<unsigned>(field(value, 4, 7))); op.MUL = field(value, 0, 0x0F); break;
        case 0x3: op.TL = field(value, 0, 0x7F); break;
        case 0x4: op.RS = field(value, 6, 3); op.AR = field(value, 0, 0x1F); break;
        case 0x5: op.DR = field(value, 0, 0x1F); break;
        case 0x6: op.SR = field(value, 0, 0x1F); break;
        case 0x7: op.SL = field(value, 4, 0x0F); op.RR = field(value, 0, 0x0F); break;
        default: break;
    }
}
// clang-format on

}  // namespace

namespace opm {

// 0x08  -xxxx---  key on per slot   -----xxx  channel
// 0x20-0x27  xx------  output enables (ignored)  --xxx---  FB  -----xxx  CON
void ym2151_port_write(FileCapture& state, uint8_t reg, uint8_t value) {
    if (reg == 0x08) {
        capture_key_on_ym2151(state, value);
        return;
    }
    VoiceRecord& image = state.images.current[reg & 7];
    if (reg < 0x28) {
        image.ALG = field(value, 0, 7);
        image.FB = field(value, 3, 7);
        return;
    }
    write_operator(image.slot[(reg >> 3) & 3], reg, value);
}

}  // namespace opm

void capture_key_on_ym2151(FileCapture& state, uint8_t value) {
    if ((value & 0x78u) == 0) return;  // key-off: no operator keyed on
    capture_voice(state, Chip::ym2151, value & 7);
}

}  // namespace timbrex
