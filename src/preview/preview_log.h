#pragma once
// A short VGM log that plays one voice patch on a YM2612: the voice on
// channel 1, one note held and released, nothing else.

#include <cstdint>
#include <vector>

#include "output/voice_file.h"
#include "vgm/log_writer.h"

namespace timbrex::preview {

// VGM time runs at 44,100 ticks a second, the rate the preview renders at.
constexpr uint32_t kSampleRate = kVgmSampleRate;

// How long the note sounds: key-on, `hold_samples` later the key-off, then
// `release_samples` of the release tail. Both in 44.1 kHz samples, each cut
// to kMaxPhaseSamples.
struct PreviewTiming {
    uint32_t hold_samples = kSampleRate;
    uint32_t release_samples = kSampleRate;
};
constexpr uint32_t kMaxPhaseSamples = 60 * kSampleRate;

// `timing` with both phases cut to kMaxPhaseSamples.
PreviewTiming clamped(const PreviewTiming& timing);

// Samples of the whole preview: hold and release tail, as clamped.
uint32_t preview_samples(const PreviewTiming& timing);

// The frequency and block the chip plays a note at: 11-bit frequency number
// (registers 0xA4/0xA0) and 3-bit block (octave).
struct Ym2612Pitch {
    uint16_t fnum;
    uint8_t block;
};

// Equal temperament with A4 (MIDI note 69) at 440 Hz.
double note_frequency(int midi_note);

// The pitch nearest to `hz` in the lowest block whose frequency number fits in
// 11 bits, so that the most bits of the number are used. Frequencies beyond the
// chip's range are clamped to the lowest or highest it can play.
Ym2612Pitch ym2612_pitch(double hz);

// The frequency the chip plays for `pitch`.
double ym2612_frequency(Ym2612Pitch pitch);

// A VGM 1.50 log: the voice's registers on channel 1 of port 0 (operator
// blocks in the file's slot order, operators 1, 3, 2, 4), both outputs on, a
// key-on of all four operators at `midi_note`, the hold, the key-off, the
// release tail and the end command. Bytes out of a field's range are masked
// to the field's bits, as the chip would take them.
std::vector<uint8_t> preview_log(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing);

}  // namespace timbrex::preview
