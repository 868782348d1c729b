// The page's way into the audio preview: one voice patch and a note in, the
// rendered 16-bit stereo samples out, for the worker to hand to Web Audio.

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "preview/preview_render.h"

extern "C" {

// Renders the preview of `voice` (the 42 bytes of a .vpf file) at MIDI note
// `note`, held `hold_samples` and released for at most `release_samples`
// (44.1 kHz), brought to the common loudness when `match_loudness` is not 0.
// Returns the interleaved left/right samples in a block the caller frees with
// free(), their frame count in *frames; null, with *frames 0, if libgme
// refused the log or the block cannot be had.
EMSCRIPTEN_KEEPALIVE int16_t* timbrex_preview_render(const uint8_t* voice, int note, uint32_t hold_samples,
                                                     uint32_t release_samples, int match_loudness, uint32_t* frames) {
    *frames = 0;
    timbrex::VoiceFileBytes bytes{};
    std::copy_n(voice, bytes.size(), bytes.begin());
    const timbrex::preview::RenderResult result =
        timbrex::preview::render_preview(bytes, note, {hold_samples, release_samples}, {match_loudness != 0});
    if (!result.error.empty() || result.samples.empty()) return nullptr;
    auto* out = static_cast<int16_t*>(std::malloc(result.samples.size() * sizeof(int16_t)));
    if (out == nullptr) return nullptr;
    std::memcpy(out, result.samples.data(), result.samples.size() * sizeof(int16_t));
    *frames = static_cast<uint32_t>(result.samples.size() / 2);
    return out;
}

}  // extern "C"
