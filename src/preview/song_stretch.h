#pragma once
// A stretch of an instrument's song played around the key-on it was captured
// at, on libgme's VGM player: the whole song, or the instrument's channel
// alone. The page plays it from the instrument's card.

#include <cstddef>
#include <cstdint>

#include "preview/preview_render.h"

namespace timbrex::preview {

// The stretch starts 1 s before the key-on (or at the log's start) and lasts 4 s.
constexpr uint32_t kLeadFrames = kSampleRate;
constexpr uint32_t kStretchFrames = 4 * kSampleRate;

struct SongStretch {
    uint64_t key_on_sample = 0;  // the captured key-on, in 44.1 kHz samples into the log
    int channel = 1;             // its YM2612 channel, 1-6 across both ports
    bool solo = false;           // every other voice muted
};

// The stretch's first frame on the log's time line.
uint64_t stretch_start(uint64_t key_on_sample);

// libgme's mute mask that leaves YM2612 `channel` (1-6) alone sounding. Its
// VGM player numbers its voices 0-5 for the YM2612's channels 1-6 (port 0's
// three, then port 1's), 6 for the DAC and 7 for the PSG.
int solo_mask(int channel);

// The stretch of the log held in the `size` bytes at `file` (a .vgm, or a
// .vgz inflated here), 16-bit stereo at 44.1 kHz. It starts with a 5 ms fade
// in from zero and ends at zero: after a 10 ms stretch below -60 dBFS when
// the log ends quiet within the 4 s, else faded out over its last 0.25 s as
// a preview is. `error` says why nothing was rendered: the log cannot be
// read or played, names no YM2612, or ends before the stretch.
RenderResult render_song_stretch(const uint8_t* file, size_t size, const SongStretch& stretch);

}  // namespace timbrex::preview
