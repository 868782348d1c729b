#include "preview/preview_render.h"

#include <algorithm>

#include "preview/log_player.h"
#include "preview/preview_tail.h"

namespace timbrex::preview {

namespace {

RenderResult failure(const char* error) {
    RenderResult result;
    result.error = error;
    return result;
}

// The gain that brings the first second of the note held to kMatchedRms.
double matched_gain(const VoiceFileBytes& voice, int midi_note) {
    const RenderResult held = render_log(preview_log(voice, midi_note, {kLoudnessFrames, 0}), kLoudnessFrames);
    return held.error.empty() ? loudness_gain(held.samples, kMatchedRms) : 1.0;
}

// The next `frames` frames of `player` appended to `out`, times `gain`.
bool play_scaled(LogPlayer& player, uint32_t frames, double gain, std::vector<int16_t>& out) {
    std::vector<int16_t> part;
    if (!player.play(frames, part)) return false;
    scale(part, gain);
    out.insert(out.end(), part.begin(), part.end());
    return true;
}

}  // namespace

RenderResult render_log(const std::vector<uint8_t>& log, uint32_t frames) {
    LogPlayer player(log.data(), log.size());
    RenderResult result;
    result.samples.reserve(size_t{frames} * 2);
    if (player.error() || !player.play(frames, result.samples)) return failure(player.error());
    return result;
}

RenderResult render_preview(const VoiceFileBytes& voice, int midi_note, const PreviewTiming& timing,
                            const PreviewLevel& level) {
    const PreviewTiming cut = clamped(timing);
    const uint32_t limit = std::min(preview_samples(cut), kMaxPreviewSamples);
    const double gain = level.match_loudness ? matched_gain(voice, midi_note) : 1.0;
    const std::vector<uint8_t> log = preview_log(voice, midi_note, cut);
    LogPlayer player(log.data(), log.size());
    if (player.error()) return failure(player.error());

    RenderResult result;
    std::vector<int16_t>& samples = result.samples;
    samples.reserve(size_t{limit} * 2);
    if (!play_scaled(player, std::min(cut.hold_samples, limit), gain, samples)) return failure(player.error());
    // The release, 10 ms at a time, until a whole 10 ms of it is quiet. A
    // shorter stretch at the limit does not count: the fade-out then makes
    // the last 10 ms quiet.
    bool ended = false;
    for (uint32_t done = std::min(cut.hold_samples, limit); done < limit && !ended;) {
        const uint32_t step = std::min(kQuietFrames, limit - done);
        if (!play_scaled(player, step, gain, samples)) return failure(player.error());
        ended = step == kQuietFrames && quiet(samples, done, kQuietFrames);
        done += step;
    }
    if (ended) {
        fade_to_zero(samples);
    } else {
        fade_out(samples);
    }
    return result;
}

}  // namespace timbrex::preview
