#include "voice/register_decoding.h"

#include "voice/key_on_capture.h"

namespace timbrex {

namespace {

int32_t bits(uint8_t value, unsigned shift, unsigned mask) {
    return static_cast<int32_t>((static_cast<unsigned>(value) >> shift) & mask);
}

// YM2612 operator registers, one row per 16-register block; the two low address
// bits pick the channel within the port, bits 2-3 the slot.
//   0x30-0x3F  -xxx----  DT    ----xxxx  MUL
//   0x40-0x4F  -xxxxxxx  TL
//   0x50-0x5F  xx------  RS    ---xxxxx  AR
//   0x60-0x6F  x-------  AM (ignored)   ---xxxxx  DR
//   0x70-0x7F  ---xxxxx  SR
//   0x80-0x8F  xxxx----  SL    ----xxxx  RR
//   0x90-0x9F  ----xxxx  SSG-EG
//   0xA0-0xAF  frequency (ignored)
//   0xB0-0xB2  --xxx---  FB    -----xxx  ALG
// clang-format off
void store_ym2612_operator(FmOperator& op, uint8_t reg, uint8_t value) {
    switch (reg >> 4) {
        case 0x3: op.DT = detune_from_code(static_cast<unsigned>(bits(value, 4, 7))); op.MUL = bits(value, 0, 0x0F); break;
        case 0x4: op.TL = bits(value, 0, 0x7F); break;
        case 0x5: op.RS = bits(value, 6, 3); op.AR = bits(value, 0, 0x1F); break;
        case 0x6: op.DR = bits(value, 0, 0x1F); break;
        case 0x7: op.SR = bits(value, 0, 0x1F); break;
        case 0x8: op.SL = bits(value, 4, 0x0F); op.RR = bits(value, 0, 0x0F); break;
        case 0x9: op.SSG = bits(value, 0, 0x0F); break;
        default: break;
    }
}
// clang-format on

// YM2151 operator registers; address bits 0-2 pick the channel, bits 3-4 the slot.
//   0x40-0x5F  -xxx----  DT1   ----xxxx  MUL
//   0x60-0x7F  -xxxxxxx  TL
//   0x80-0x9F  xx------  KS    ---xxxxx  AR
//   0xA0-0xBF  x-------  AMS-EN (ignored)  ---xxxxx  D1R
//   0xC0-0xDF  xx------  DT2 (ignored)     ---xxxxx  D2R
//   0xE0-0xFF  xxxx----  D1L   ----xxxx  RR
// clang-format off
void store_ym2151_operator(FmOperator& op, uint8_t reg, uint8_t value) {
    switch (reg >> 5) {
        case 0x2: op.DT = detune_from_code(static_cast<unsigned>(bits(value, 4, 7))); op.MUL = bits(value, 0, 0x0F); break;
        case 0x3: op.TL = bits(value, 0, 0x7F); break;
        case 0x4: op.RS = bits(value, 6, 3); op.AR = bits(value, 0, 0x1F); break;
        case 0x5: op.DR = bits(value, 0, 0x1F); break;
        case 0x6: op.SR = bits(value, 0, 0x1F); break;
        case 0x7: op.SL = bits(value, 4, 0x0F); op.RR = bits(value, 0, 0x0F); break;
        default: break;
    }
}
// clang-format on

}  // namespace

void ym2612_voice_write(FileCapture& state, int port, uint8_t reg, uint8_t value) {
    if (port == 0 && reg == 0x28) {
        capture_key_on_ym2612(state, value);
        return;
    }
    if (port == 0 && reg == 0x2B) {
        state.dac_mode = (value & 0x80) != 0;
        return;
    }
    // Below 0x30: LFO, timers, DAC data; above 0xB3: stereo and LFO sensitivity;
    // low bits 3: no channel.
    if (reg < 0x30 || reg > 0xB3 || (reg & 3) == 3) return;
    VoiceRecord& image = state.images.current[port * 3 + (reg & 3)];
    if (reg >= 0xB0) {
        image.ALG = bits(value, 0, 7);
        image.FB = bits(value, 3, 7);
        return;
    }
    store_ym2612_operator(image.slot[(reg >> 2) & 3], reg, value);
}

void ym2151_voice_write(FileCapture& state, uint8_t reg, uint8_t value) {
    if (reg == 0x08) {
        capture_key_on_ym2151(state, value);
        return;
    }
    // Below 0x20: test, noise, timers, LFO; 0x28-0x3F: key code, key fraction,
    // modulation sensitivities.
    if (reg < 0x20 || (reg >= 0x28 && reg < 0x40)) return;
    VoiceRecord& image = state.images.current[reg & 7];
    if (reg < 0x28) {
        // 0x20-0x27  xx------ output enables (ignored)  --xxx--- FB  -----xxx CON
        image.ALG = bits(value, 0, 7);
        image.FB = bits(value, 3, 7);
        return;
    }
    store_ym2151_operator(image.slot[(reg >> 3) & 3], reg, value);
}

}  // namespace timbrex
