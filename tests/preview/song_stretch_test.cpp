// A stretch of a song played around an instrument's key-on, on logs written
// here: six channels keyed on in turn over a PSG tone. The stretch starts
// 1 s before the key-on on the log's time line, solo leaves exactly the
// instrument's channel sounding (both ports), and every stretch starts and
// ends at zero without a click.

#include "preview/song_stretch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "listening.h"
#include "preview/preview_tail.h"
#include "vgm_writer.h"

namespace timbrex::preview {
namespace {

using testing::Bytes;
using testing::mono;
using testing::rms;

// Channel k (1-6) is keyed on at kFirstKeyOn + (k - 1) * kKeyOnStep and held
// kHold; the PSG sounds from the start to the end, kLogEnd.
constexpr uint32_t kFirstKeyOn = 66150;  // 1.5 s
constexpr uint32_t kKeyOnStep = 22050;   // 0.5 s
constexpr uint32_t kHold = 13230;        // 0.3 s
constexpr uint32_t kLogEnd = 441000;     // 10 s

uint32_t key_on_of(int channel) { return kFirstKeyOn + static_cast<uint32_t>(channel - 1) * kKeyOnStep; }

// A voice that starts at once and is gone 50 ms after its key-off: algorithm
// 7, every operator a carrier at -15 dB, attack 31, release 15.
VoiceRecord organ() {
    VoiceRecord voice{};
    voice.ALG = 7;
    for (FmOperator& op : voice.slot) op = {1, 0, 20, 0, 31, 0, 0, 15, 0, 0};
    return voice;
}

Bytes six_channels_log() {
    testing::VgmWriter w(0x150);
    // PSG tone 1 at about 220 Hz (the FM plays A4), 16 dB down.
    w.psg(0x80 | 0x0C).psg(0x1F).psg(0x98);
    for (int c = 0; c < 6; ++c) w.ym2612_voice(c, organ()).ym2612_pitch(c, 1083, 4);
    uint32_t now = 0;
    for (int channel = 1; channel <= 6; ++channel) {
        w.wait(key_on_of(channel) - now).ym2612_key_on(channel - 1).wait(kHold).ym2612_key_off(channel - 1);
        now = key_on_of(channel) + kHold;
    }
    return w.wait(kLogEnd - now).end().bytes();
}

RenderResult render(const Bytes& file, uint64_t key_on, int channel, bool solo) {
    RenderResult result = render_song_stretch(file.data(), file.size(), {key_on, channel, solo});
    EXPECT_EQ(result.error, "");
    return result;
}

// The level of 0.1 s of the stretch from `at` seconds after its start.
double level_at(const std::vector<double>& signal, double at) {
    return rms(signal, static_cast<size_t>(at * kSampleRate), kSampleRate / 10);
}

// The first frame louder than -60 dBFS.
size_t onset(const std::vector<double>& signal) {
    for (size_t i = 0; i < signal.size(); ++i) {
        if (std::abs(signal[i]) > kQuietPeak) return i;
    }
    return signal.size();
}

constexpr double kSounding = 300.0;  // RMS; a channel plays at about 3,000
constexpr double kSilent = 1.0;

TEST(SongStretch, StartsOneSecondBeforeTheKeyOnOrAtTheLogsStart) {
    EXPECT_EQ(stretch_start(132300), 88200u);
    EXPECT_EQ(stretch_start(44100), 0u);
    EXPECT_EQ(stretch_start(13230), 0u);
    EXPECT_EQ(stretch_start(0), 0u);
}

TEST(SongStretch, SoloMasksEveryVoiceButTheChannels) {
    EXPECT_EQ(solo_mask(1), 0xFE);
    EXPECT_EQ(solo_mask(4), 0xF7);
    EXPECT_EQ(solo_mask(6), 0xDF);
    EXPECT_EQ(solo_mask(7), 0xFF);  // the key-on code no channel answers
}

// Solo on each channel, both ports: its key-on comes 1 s into the stretch,
// within 10 ms (the chip's attack and the resampler's delay), after a
// stretch of silence where the PSG and the channel keyed on before it
// played; the channel after it stays silent.
TEST(SongStretch, SoloPlaysTheInstrumentsChannelAloneFromItsKeyOn) {
    const Bytes log = six_channels_log();
    for (int channel = 1; channel <= 6; ++channel) {
        SCOPED_TRACE("channel " + std::to_string(channel));
        const RenderResult result = render(log, key_on_of(channel), channel, true);
        ASSERT_EQ(result.samples.size(), 2 * size_t{kStretchFrames});
        const std::vector<double> signal = mono(result.samples);
        const size_t heard = onset(signal);
        EXPECT_GE(heard, kLeadFrames);
        EXPECT_LE(heard, kLeadFrames + kQuietFrames);
        EXPECT_LT(rms(signal, 0, kLeadFrames), kSilent);
        EXPECT_GT(level_at(signal, 1.05), kSounding);
        // 0.5 s after its key-on the next channel plays, and is not heard.
        EXPECT_LT(level_at(signal, 1.55), kSilent);
    }
}

// The whole song, from 1 s before channel 4's key-on: channel 2 and 3
// keyed on 1 s and 0.5 s before it, the PSG all along, channel 4 after it.
TEST(SongStretch, SongPlaysEveryChannelOnTheLogsTimeLine) {
    const Bytes log = six_channels_log();
    const std::vector<double> signal = mono(render(log, key_on_of(4), 4, false).samples);
    const std::vector<double> nothing = mono(render(log, key_on_of(4), 7, true).samples);
    EXPECT_LT(level_at(nothing, 0.1), kSilent);  // mask 0xFF: nothing at all
    const double psg = level_at(signal, 0.4);    // channel 2 released, 3 not yet on
    EXPECT_GT(psg, 100.0);
    for (const double at : {0.1, 0.6, 1.1}) {  // channels 2, 3 and 4
        SCOPED_TRACE(at);
        EXPECT_GT(level_at(signal, at), psg + kSounding);
    }
}

// A key-on in the first second: the stretch starts at the log's start.
TEST(SongStretch, KeyOnInTheFirstSecondStartsAtTheLogsStart) {
    testing::VgmWriter w(0x150);
    w.ym2612_voice(1, organ()).ym2612_pitch(1, 1083, 4).wait(13230).ym2612_key_on(1).wait(kLogEnd).end();
    const Bytes log = w.bytes();
    const std::vector<double> signal = mono(render(log, 13230, 2, true).samples);
    EXPECT_GE(onset(signal), 13230u);
    EXPECT_LE(onset(signal), 13230u + kQuietFrames);
}

// A key-on 12 s into the log: the way there is sought up to 5 s before the
// stretch and played from there. A note held from 0.5 s on still sounds in
// the whole song, and the instrument's channel alone starts at its key-on.
TEST(SongStretch, KeyOnLateInTheLogKeepsItsTimeAndTheNotesHeld) {
    testing::VgmWriter w(0x150);
    w.ym2612_voice(0, organ()).ym2612_pitch(0, 1083, 4).ym2612_voice(1, organ()).ym2612_pitch(1, 1290, 4);
    w.wait(22050).ym2612_key_on(0).wait(529200 - 22050).ym2612_key_on(1).wait(3 * kSampleRate).end();
    const Bytes log = w.bytes();
    const std::vector<double> alone = mono(render(log, 529200, 2, true).samples);
    EXPECT_LT(rms(alone, 0, kLeadFrames), kSilent);
    EXPECT_GE(onset(alone), kLeadFrames);
    EXPECT_LE(onset(alone), kLeadFrames + kQuietFrames);
    EXPECT_GT(level_at(alone, 1.1), kSounding);
    const std::vector<double> whole = mono(render(log, 529200, 2, false).samples);
    EXPECT_GT(level_at(whole, 0.5), kSounding);  // channel 1, keyed on 11.5 s before the stretch
}

// The stretch is faded in from zero and ends at zero, its last 10 ms below
// -60 dBFS, whether the log still sounds at 4 s or ends sooner; a .vgz
// plays as its log does.
TEST(SongStretch, StartsAndEndsAtZeroAndPlaysCompressedLogs) {
    const Bytes log = six_channels_log();
    const RenderResult sounding = render(log, key_on_of(5), 5, false);  // the PSG plays on at 4 s
    {
        const RenderResult& result = sounding;
        const size_t frames = result.samples.size() / 2;
        EXPECT_EQ(result.samples[0], 0);
        EXPECT_EQ(result.samples[1], 0);
        EXPECT_EQ(result.samples[2 * frames - 2], 0);
        EXPECT_EQ(result.samples[2 * frames - 1], 0);
        EXPECT_TRUE(quiet(result.samples, frames - kQuietFrames, kQuietFrames));
    }
    const Bytes compressed = testing::gzip_member(log);
    EXPECT_EQ(render(compressed, key_on_of(5), 5, false).samples, sounding.samples);
}

TEST(SongStretch, EndsWithALogThatEndsWithinIt) {
    testing::VgmWriter w(0x150);
    w.ym2612_voice(0, organ()).ym2612_pitch(0, 1083, 4).wait(44100).ym2612_key_on(0).wait(44100).end();
    const Bytes log = w.bytes();
    const RenderResult result = render(log, 44100, 1, false);
    const size_t frames = result.samples.size() / 2;
    // The log ends 1 s after the key-on: the stretch ends within 20 ms of it,
    // at zero after 10 ms below -60 dBFS.
    EXPECT_GE(frames, 2 * kSampleRate);
    EXPECT_LE(frames, 2 * kSampleRate + 2 * kQuietFrames);
    EXPECT_TRUE(quiet(result.samples, frames - kQuietFrames, kQuietFrames));
    EXPECT_EQ(result.samples[2 * frames - 1], 0);
}

TEST(SongStretch, RefusesWhatItCannotPlay) {
    struct Case {
        const char* name;
        Bytes file;
        uint64_t key_on;
        const char* error;
    };
    testing::VgmWriter no_ym2612(0x150);
    no_ym2612.wait(88200).end();
    Bytes without_clock = no_ym2612.bytes();
    put_le32(without_clock, kHeaderYm2612Clock, 0);
    const Bytes log = six_channels_log();
    Bytes damaged_gzip = testing::gzip_member(log);
    damaged_gzip.resize(10);
    for (const Case& c :
         {Case{"no YM2612 clock", without_clock, 44100, "the log names no YM2612 for the player"},
          Case{"key-on past the end", log, kLogEnd + 3 * kSampleRate, "the log ends before that moment"},
          Case{"gzip cut in its header", damaged_gzip, 44100, "its gzip data cannot be inflated"},
          Case{"not a log", Bytes(100, 0x20), 44100, "Wrong file type for this emulator"}}) {
        SCOPED_TRACE(c.name);
        const RenderResult result = render_song_stretch(c.file.data(), c.file.size(), {c.key_on, 1, false});
        EXPECT_EQ(result.error, c.error);
        EXPECT_TRUE(result.samples.empty());
    }
}

}  // namespace
}  // namespace timbrex::preview
