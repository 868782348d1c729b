#include "preview/preview_render.h"

#include <gme/gme.h>

#include <algorithm>
#include <memory>

namespace timbrex::preview {

namespace {

struct EmuDeleter {
    void operator()(Music_Emu* emu) const { gme_delete(emu); }
};
using EmuPtr = std::unique_ptr<Music_Emu, EmuDeleter>;

// gme_play takes a count of samples (two per stereo frame) as an int; steps of
// this many frames keep it small on every platform.
constexpr uint32_t kChunkFrames = 8192;

RenderResult failure(const char* error) {
    RenderResult result;
    result.error = error;
    return result;
}

}  // namespace

RenderResult render_log(const std::vector<uint8_t>& log, uint32_t frames) {
    Music_Emu* raw = nullptr;
    // libgme keeps a pointer to the log's bytes rather than a copy: `log`
    // outlives the player here.
    if (gme_err_t error = gme_open_data(log.data(), static_cast<long>(log.size()), &raw, kSampleRate)) {
        return failure(error);
    }
    const EmuPtr emu(raw);
    // Without this the player drops the silence before a slow attack and
    // the samples no longer line up with the log's time.
    gme_ignore_silence(emu.get(), 1);
    if (gme_err_t error = gme_start_track(emu.get(), 0)) return failure(error);

    RenderResult result;
    result.samples.resize(static_cast<size_t>(frames) * 2);
    for (uint32_t done = 0; done < frames;) {
        const uint32_t step = std::min(frames - done, kChunkFrames);
        if (gme_err_t error =
                gme_play(emu.get(), static_cast<int>(step * 2), result.samples.data() + size_t{done} * 2)) {
            return failure(error);
        }
        done += step;
    }
    return result;
}

RenderResult render_preview(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing) {
    return render_log(preview_log(voice, midi_note, timing), preview_samples(timing));
}

}  // namespace timbrex::preview
