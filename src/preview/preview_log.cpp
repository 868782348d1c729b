#include "preview/preview_log.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace timbrex::preview {

namespace {

// The chip's sample rate is its clock / 144; a frequency number counts in
// steps of that rate / 2^20 at block 1, and every block doubles it.
constexpr double kFnumScale = 144.0 * 1048576.0 / kYm2612Clock;
constexpr int kFnumMax = 0x7FF;
constexpr int kBlockMax = 7;

constexpr uint32_t kVersion = 0x150;

void write_reg(LogWriter& out, uint8_t reg, int value) { out.ym2612(0, reg, static_cast<uint8_t>(value)); }

// One operator into the registers of channel 1; slot k's registers sit at
// offset 4 * k. Each value is masked to its field's bits.
void write_operator(LogWriter& out, const FmOperator& op, size_t slot) {
    const auto at = static_cast<uint8_t>(slot * 4);
    // 0x30  -DDDMMMM  DT, MUL
    write_reg(out, static_cast<uint8_t>(0x30 + at), static_cast<int>(code_from_detune(op.DT)) << 4 | (op.MUL & 0x0F));
    // 0x40  -TTTTTTT  TL
    write_reg(out, static_cast<uint8_t>(0x40 + at), op.TL & 0x7F);
    // 0x50  RR-AAAAA  RS, AR
    write_reg(out, static_cast<uint8_t>(0x50 + at), (op.RS & 3) << 6 | (op.AR & 0x1F));
    // 0x60  A--DDDDD  AM off, DR
    write_reg(out, static_cast<uint8_t>(0x60 + at), op.DR & 0x1F);
    // 0x70  ---SSSSS  SR
    write_reg(out, static_cast<uint8_t>(0x70 + at), op.SR & 0x1F);
    // 0x80  LLLLRRRR  SL, RR
    write_reg(out, static_cast<uint8_t>(0x80 + at), (op.SL & 0x0F) << 4 | (op.RR & 0x0F));
    // 0x90  ----EEEE  SSG-EG
    write_reg(out, static_cast<uint8_t>(0x90 + at), op.SSG & 0x0F);
}

}  // namespace

PreviewTiming clamped(const PreviewTiming& timing) {
    return {std::min(timing.hold_samples, kMaxPhaseSamples), std::min(timing.release_samples, kMaxPhaseSamples)};
}

uint32_t preview_samples(const PreviewTiming& timing) {
    const PreviewTiming cut = clamped(timing);
    return cut.hold_samples + cut.release_samples;
}

double note_frequency(int midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }

Ym2612Pitch ym2612_pitch(double hz) {
    for (int block = 0; block <= kBlockMax; ++block) {
        const double fnum = std::round(hz * kFnumScale / std::ldexp(1.0, block - 1));
        if (fnum <= kFnumMax) {
            return {static_cast<uint16_t>(std::max(fnum, 1.0)), static_cast<uint8_t>(block)};
        }
    }
    return {kFnumMax, kBlockMax};
}

double ym2612_frequency(Ym2612Pitch pitch) { return pitch.fnum * std::ldexp(1.0, pitch.block - 1) / kFnumScale; }

std::vector<uint8_t> preview_log(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing) {
    const PreviewTiming cut = clamped(timing);
    // No PSG or YM2151 clock: the player emulates the YM2612 alone.
    LogWriter out(kVersion);
    out.header_field(kHeaderTotalSamples, preview_samples(cut)).header_field(kHeaderYm2612Clock, kYm2612Clock);
    write_reg(out, 0x22, 0x00);  // LFO off
    write_reg(out, 0x27, 0x00);  // channel 3 in normal mode
    write_reg(out, 0x2B, 0x00);  // DAC off: channel 6 is FM
    write_reg(out, 0x28, 0x00);  // channel 1 keyed off before its registers change
    const VoiceRecord patch = voice_from_patch_bytes(voice);
    for (size_t slot = 0; slot < std::size(patch.slot); ++slot) write_operator(out, patch.slot[slot], slot);
    // 0xB0  --FFFAAA  FB, ALG
    write_reg(out, 0xB0, (patch.FB & 7) << 3 | (patch.ALG & 7));
    // 0xB4  LRAA-PPP  both outputs on, no AM or PM sensitivity
    write_reg(out, 0xB4, 0xC0);
    // The chip latches 0xA4 (block, frequency number high bits) and applies it
    // with the write to 0xA0, so 0xA4 goes first.
    const Ym2612Pitch pitch = ym2612_pitch(note_frequency(midi_note));
    write_reg(out, 0xA4, pitch.block << 3 | pitch.fnum >> 8);
    write_reg(out, 0xA0, pitch.fnum & 0xFF);
    write_reg(out, 0x28, 0xF0);  // all four operators of channel 1 on
    out.wait(cut.hold_samples);
    write_reg(out, 0x28, 0x00);
    out.wait(cut.release_samples);
    return out.end().bytes();
}

}  // namespace timbrex::preview
