#include "preview/song_stretch.h"

#include <algorithm>
#include <cstdint>

#include "preview/log_player.h"
#include "preview/preview_tail.h"
#include "vgm/bytes.h"
#include "vgm/gzip_stream.h"
#include "vgm/log_buffer.h"
#include "vgm/log_reader.h"
#include "vgm/log_writer.h"

namespace timbrex::preview {

namespace {

constexpr int kYm2612Channels = 6;
constexpr int kAllVoices = 0xFF;

RenderResult failure(const char* error) {
    RenderResult result;
    result.error = error;
    return result;
}

// The log's uncompressed bytes: a .vgz inflated into `inflated` as the
// harvest inflates it (trusting its trailer as far as the compressed size
// allows), a plain log where it lies. False when nothing could be inflated.
bool uncompressed(const uint8_t* file, size_t size, LogBuffer& inflated, const uint8_t*& log, size_t& length) {
    if (!starts_gzip_member(file, size)) {
        log = file;
        length = size;
        return true;
    }
    const int64_t announced =
        announced_size(file, size, static_cast<long long>(size), size >= 4 ? read_le32(file, size - 4) : 0);
    if (announced < 0 || !inflate_log(file, size, static_cast<uint64_t>(announced), inflated)) return false;
    if (inflated.length == 0) return false;
    log = inflated.bytes.get();
    length = inflated.length;
    return true;
}

// libgme's VGM player plays a YM2612 only when the header gives its clock.
bool names_ym2612(const uint8_t* log, size_t length) {
    return length >= kHeaderYm2612Clock + 4 && read_le32(log, kHeaderYm2612Clock) != 0;
}

// The song is played whole for this long before the stretch; what comes
// before is sought (see LogPlayer::seek), several times faster.
constexpr uint64_t kPrerollFrames = uint64_t{5} * kSampleRate;

// From the log's start to `frame`: sought to kPrerollFrames before it, then
// played, so that every note keyed on in those 5 s sounds as in the song.
bool skip_to(LogPlayer& player, uint64_t frame) {
    if (frame > kPrerollFrames && player.seek(frame - kPrerollFrames)) frame = kPrerollFrames;
    if (player.error()) return false;
    while (frame > 0 && !player.ended()) {
        const auto step = static_cast<uint32_t>(std::min<uint64_t>(frame, UINT32_MAX));
        if (!player.skip(step)) return false;
        frame -= step;
    }
    return true;
}

// Up to kStretchFrames, 10 ms at a time, stopping with the 10 ms in which the
// log ends (libgme plays nothing after a log's end that has no loop).
bool play_stretch(LogPlayer& player, std::vector<int16_t>& out) {
    out.reserve(size_t{kStretchFrames} * 2);
    for (uint32_t done = 0; done < kStretchFrames && !player.ended(); done += kQuietFrames) {
        if (!player.play(kQuietFrames, out)) return false;
    }
    return true;
}

}  // namespace

uint64_t stretch_start(uint64_t key_on_sample) { return key_on_sample > kLeadFrames ? key_on_sample - kLeadFrames : 0; }

int solo_mask(int channel) {
    if (channel < 1 || channel > kYm2612Channels) return kAllVoices;
    return kAllVoices & ~(1 << (channel - 1));
}

RenderResult render_song_stretch(const uint8_t* file, size_t size, const SongStretch& stretch) {
    LogBuffer inflated;
    const uint8_t* log = nullptr;
    size_t length = 0;
    if (!uncompressed(file, size, inflated, log, length)) return failure("its gzip data cannot be inflated");
    if (!names_ym2612(log, length)) return failure("the log names no YM2612 for the player");
    LogPlayer player(log, length);
    if (player.error()) return failure(player.error());
    // Muted from the start: a muted channel only loses its output, so the
    // one left plays as it does in the whole song.
    if (stretch.solo) player.mute(solo_mask(stretch.channel));
    if (!skip_to(player, stretch_start(stretch.key_on_sample))) return failure(player.error());
    if (player.ended()) return failure("the log ends before that moment");

    RenderResult result;
    if (!play_stretch(player, result.samples)) return failure(player.error());
    fade_in(result.samples);
    const size_t frames = result.samples.size() / 2;
    if (quiet(result.samples, frames - std::min<size_t>(frames, kQuietFrames), kQuietFrames)) {
        fade_to_zero(result.samples);
    } else {
        fade_out(result.samples);
    }
    return result;
}

}  // namespace timbrex::preview
