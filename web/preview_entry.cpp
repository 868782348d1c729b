// The page's way into the audio preview: one voice patch and a note in, or an
// instrument's song log and key-on, the rendered 16-bit stereo samples out,
// for the worker to hand to Web Audio.

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "preview/preview_render.h"
#include "preview/song_stretch.h"

namespace {

// The samples in a block the caller frees with free(), their frame count in
// *frames; null when there are none or the block cannot be had.
int16_t* handed_over(const std::vector<int16_t>& samples, uint32_t* frames) {
    if (samples.empty()) return nullptr;
    auto* out = static_cast<int16_t*>(std::malloc(samples.size() * sizeof(int16_t)));
    if (out == nullptr) return nullptr;
    std::memcpy(out, samples.data(), samples.size() * sizeof(int16_t));
    *frames = static_cast<uint32_t>(samples.size() / 2);
    return out;
}

}  // namespace

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
    return result.error.empty() ? handed_over(result.samples, frames) : nullptr;
}

// Renders the stretch of the song log in the `size` bytes at `file` (as the
// file holds it, .vgm or .vgz) around the key-on at `key_on_sample` (44.1 kHz
// samples into the log), whole or, when `solo` is not 0, with YM2612 channel
// `channel` (1-6) alone. Returns the samples as timbrex_preview_render does;
// on failure null, with the reason (cut to `error_size` - 1 bytes, ended by
// a zero byte) in `error`.
EMSCRIPTEN_KEEPALIVE int16_t* timbrex_song_render(const uint8_t* file, uint32_t size, double key_on_sample, int channel,
                                                  int solo, uint32_t* frames, char* error, uint32_t error_size) {
    *frames = 0;
    if (error_size > 0) error[0] = '\0';
    const bool usable = key_on_sample >= 0 && key_on_sample < 9007199254740992.0;  // 2^53: exact in a double
    timbrex::preview::SongStretch stretch;
    stretch.key_on_sample = usable ? static_cast<uint64_t>(key_on_sample) : 0;
    stretch.channel = channel;
    stretch.solo = solo != 0;
    const timbrex::preview::RenderResult result =
        usable ? timbrex::preview::render_song_stretch(file, size, stretch)
               : timbrex::preview::RenderResult{{}, "the moment is not on the log's time line"};
    int16_t* out = result.error.empty() ? handed_over(result.samples, frames) : nullptr;
    if (out == nullptr && error_size > 0) {
        const std::string reason = result.error.empty() ? "the stretch could not be rendered" : result.error;
        const size_t length = std::min<size_t>(reason.size(), error_size - 1);
        std::memcpy(error, reason.data(), length);
        error[length] = '\0';
    }
    return out;
}

}  // extern "C"
