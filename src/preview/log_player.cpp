#include "preview/log_player.h"

#include <gme/gme.h>

#include <algorithm>
#include <climits>

#include "preview/preview_log.h"

namespace timbrex::preview {

namespace {

// gme_play takes a count of samples (two per stereo frame) as an int; steps of
// this many frames keep it small on every platform.
constexpr uint32_t kChunkFrames = 8192;

}  // namespace

void LogPlayer::EmuDeleter::operator()(Music_Emu* emu) const { gme_delete(emu); }

LogPlayer::LogPlayer(const uint8_t* log, size_t size) {
    Music_Emu* raw = nullptr;
    if ((error_ = gme_open_data(log, static_cast<long>(size), &raw, kSampleRate))) return;
    emu_.reset(raw);
    // Without this the player drops the silence before the first sound (up
    // to 2 s) and ends a track after 6 s of silence: the samples would no
    // longer line up with the log's time.
    gme_ignore_silence(emu_.get(), 1);
    error_ = gme_start_track(emu_.get(), 0);
}

bool LogPlayer::play(uint32_t frames, std::vector<int16_t>& out) {
    for (uint32_t done = 0; done < frames && !error_;) {
        const uint32_t step = std::min(frames - done, kChunkFrames);
        const size_t at = out.size();
        out.resize(at + size_t{step} * 2);
        error_ = gme_play(emu_.get(), static_cast<int>(step * 2), out.data() + at);
        done += step;
    }
    return !error_;
}

bool LogPlayer::skip(uint32_t frames) {
    std::vector<int16_t> scratch;
    scratch.reserve(size_t{kChunkFrames} * 2);
    for (uint32_t done = 0; done < frames && !error_ && !ended();) {
        const uint32_t step = std::min(frames - done, kChunkFrames);
        scratch.clear();
        if (!play(step, scratch)) return false;
        done += step;
    }
    return !error_;
}

bool LogPlayer::seek(uint64_t frame) {
    // gme_seek_samples counts samples of both channels, two per frame, as an int.
    if (error_ || frame > INT_MAX / 2) return false;
    error_ = gme_seek_samples(emu_.get(), static_cast<int>(frame * 2));
    return !error_;
}

void LogPlayer::mute(int mask) {
    if (emu_) gme_mute_voices(emu_.get(), mask);
}

bool LogPlayer::ended() const { return !emu_ || gme_track_ended(emu_.get()) != 0; }

}  // namespace timbrex::preview
