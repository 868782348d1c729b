#pragma once
// Renders preview logs with libgme's VGM player (its YM2612 core) to 16-bit
// stereo PCM at 44.1 kHz.

#include <cstdint>
#include <string>
#include <vector>

#include "preview/preview_log.h"

namespace timbrex::preview {

struct RenderResult {
    std::vector<int16_t> samples;  // interleaved left, right; empty on failure
    std::string error;             // libgme's reason when it refused the log, else empty
};

// `frames` stereo frames of `log` from its first command on; time runs as the
// log's waits say, with no leading silence skipped. Nothing is faded.
RenderResult render_log(const std::vector<uint8_t>& log, uint32_t frames);

// The longest preview, hold and release together: 4 s.
constexpr uint32_t kMaxPreviewSamples = 4 * kSampleRate;

// The root mean square every voice is brought to when loudness is matched:
// -20 dBFS.
constexpr double kMatchedRms = 3277.0;

// The frames of the held note whose level sets a voice's loudness: its first
// second, whatever the hold of the preview.
constexpr uint32_t kLoudnessFrames = kSampleRate;

struct PreviewLevel {
    // Scale the preview so that its first second held has kMatchedRms
    // (less where that would clip); otherwise as the chip plays it.
    bool match_loudness = false;
};

// The preview of `voice` at `midi_note`, as it should be heard: the note
// held `timing.hold_samples`, then its release until a 10 ms stretch is below
// -60 dBFS, and that stretch faded over its last 5 ms to exactly zero. A
// preview reaching the end of `timing.release_samples` or kMaxPreviewSamples
// while still sounding fades out over its last 0.25 s, so that its last 10 ms
// are below -60 dBFS and its last frame is zero all the same.
RenderResult render_preview(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing,
                            const PreviewLevel& level = {});

}  // namespace timbrex::preview
