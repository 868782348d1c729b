#pragma once
// How a rendered preview ends and how loud it plays: the quiet that ends the
// release, the fades that take the last samples to exactly zero, and the gain
// that brings a voice to a common loudness. Pure functions on interleaved
// 16-bit stereo samples.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace timbrex::preview {

// -60 dBFS is 32.77 of full scale (32768): a sample at most this far from
// zero is below it.
constexpr int kQuietPeak = 32;

// 10 ms and 5 ms at 44.1 kHz, in frames.
constexpr uint32_t kQuietFrames = 441;
constexpr uint32_t kClickFadeFrames = 221;

// A preview cut while still sounding fades over this many frames: 60 dB
// down, level, until the last kQuietFrames, which hold -60 dB and end with the
// 5 ms fade to zero.
constexpr uint32_t kLongFadeFrames = 11025;  // 0.25 s

// True when every sample of the `frames` stereo frames from frame `from` is
// below -60 dBFS (at most kQuietPeak from zero).
bool quiet(const std::vector<int16_t>& stereo, size_t from, size_t frames);

// The last kClickFadeFrames frames scaled down linearly to exactly zero in
// the last frame, so that playback stops without a step.
void fade_to_zero(std::vector<int16_t>& stereo);

// The first kClickFadeFrames frames scaled up linearly from exactly zero in
// the first frame, so that playback starting mid-sound starts without a step.
void fade_in(std::vector<int16_t>& stereo);

// The last kLongFadeFrames frames faded out: the level falls 60 dB evenly
// over the first part, stays there for the last kQuietFrames and goes to
// exactly zero over the last kClickFadeFrames. A sound still at full scale
// ends below -60 dBFS for its last 10 ms.
void fade_out(std::vector<int16_t>& stereo);

// Every sample times `gain`, rounded toward zero and held within 16 bits.
void scale(std::vector<int16_t>& stereo, double gain);

// The gain that brings `stereo` to the root mean square `target_rms` (of
// both channels' samples), lowered where that would take its loudest sample
// past full scale; 1 for silence.
double loudness_gain(const std::vector<int16_t>& stereo, double target_rms);

}  // namespace timbrex::preview
