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
// log's waits say, with no leading silence skipped.
RenderResult render_log(const std::vector<uint8_t>& log, uint32_t frames);

// The whole preview of `voice` at `midi_note`: hold and release tail.
RenderResult render_preview(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing);

}  // namespace timbrex::preview
