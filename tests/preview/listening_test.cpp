// Listening to previews rendered by libgme's YM2612: the demo's piano at the
// pitch of its note, silence where the carriers are muted, release rates
// that shape the tail, tails that end below -60 dBFS and at exactly zero,
// loudness matched across voices, the same samples on every render. The
// measuring helpers are checked first on signals of known pitch.

#include "listening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "demo_piano.h"
#include "preview/preview_render.h"
#include "preview/preview_tail.h"

namespace timbrex::preview {
namespace {

using testing::fundamental_hz;
using testing::mono;
using testing::rms;
using testing::seconds_to_fall;

constexpr double kRate = kSampleRate;
constexpr int kA4 = 69;

// The preview's log as the chip plays it, every frame of hold and release,
// nothing cut or faded.
RenderResult render_raw(const VoiceFileBytes& voice, int note, const PreviewTiming& timing) {
    return render_log(preview_log(voice, note, timing), preview_samples(timing));
}

std::vector<double> render_mono(const VoiceFileBytes& voice, int note, const PreviewTiming& timing) {
    const RenderResult result = render_raw(voice, note, timing);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.samples.size(), 2 * size_t{preview_samples(timing)});
    return mono(result.samples);
}

// Every operator's byte at `offset` in its ten-byte block set to `value`.
VoiceFileBytes with_every_operator(VoiceFileBytes voice, size_t offset, uint8_t value) {
    for (size_t slot = 0; slot < 4; ++slot) voice[2 + 10 * slot + offset] = value;
    return voice;
}

constexpr size_t kTl = 2;
constexpr size_t kRr = 7;

// -60 dBFS: 32768 * 10^(-60 / 20) = 32.77, so 32 is the loudest sample below it.
constexpr int kMinus60Dbfs = 32;

// The demo piano's carriers (algorithm 4: slots 2 and 3) at `tl`.
VoiceFileBytes piano_with_carrier_tl(uint8_t tl) {
    VoiceFileBytes voice = testing::kDemoPiano;
    voice[2 + 20 + kTl] = tl;
    voice[2 + 30 + kTl] = tl;
    return voice;
}

int peak(const std::vector<int16_t>& stereo, size_t from_frame, size_t frames) {
    int loudest = 0;
    for (size_t i = 2 * from_frame; i < 2 * (from_frame + frames) && i < stereo.size(); ++i)
        loudest = std::max(loudest, std::abs(static_cast<int>(stereo[i])));
    return loudest;
}

TEST(Listening, MeasuresTheFundamentalOfKnownSignals) {
    const double pi = std::acos(-1.0);
    for (const double hz : {110.0, 440.0, 523.25, 1318.5}) {
        std::vector<double> tone(22050);
        for (size_t i = 0; i < tone.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            // A second harmonic stronger than the fundamental must not pass for it.
            tone[i] = 0.5 * std::sin(2 * pi * hz * t) + std::sin(4 * pi * hz * t + 1.0);
        }
        EXPECT_NEAR(fundamental_hz(tone, 0, tone.size(), kRate), hz, hz * 0.001);
    }
    EXPECT_EQ(fundamental_hz(std::vector<double>(22050, 0.0), 0, 22050, kRate), 0.0);
}

TEST(Listening, DemoPianoPlaysA4At440HzAndAnOctaveUpAtTwiceThat) {
    const VoiceFileBytes piano = testing::kDemoPiano;
    const PreviewTiming timing{44100, 22050};
    const std::vector<double> a4 = render_mono(piano, kA4, timing);
    // The hold, past the attack: 0.1 s to 0.6 s.
    EXPECT_GT(rms(a4, 4410, 22050), 100.0) << "not silent";
    const double fundamental = fundamental_hz(a4, 4410, 22050, kRate);
    EXPECT_NEAR(fundamental, 440.0, 4.4);
    const double octave = fundamental_hz(render_mono(piano, kA4 + 12, timing), 4410, 22050, kRate);
    EXPECT_NEAR(octave / fundamental, 2.0, 0.02);
    RecordProperty("a4_hz", std::to_string(fundamental));
    RecordProperty("a5_hz", std::to_string(octave));
}

TEST(Listening, CarriersAtFullAttenuationRenderSilence) {
    // The piano's algorithm 4 has slots 2 and 3 (operators 2 and 4) as carriers.
    const VoiceFileBytes muted = piano_with_carrier_tl(127);
    ASSERT_EQ(muted[0], 4);
    const RenderResult result = render_raw(muted, kA4, {22050, 22050});
    ASSERT_EQ(result.error, "");
    int16_t loudest = 0;
    for (const int16_t sample : result.samples)
        loudest = std::max<int16_t>(loudest, static_cast<int16_t>(std::abs(sample)));
    EXPECT_EQ(loudest, 0);
}

TEST(Listening, ReleaseRate15FadesBelowMinus60DbSoonerThanRate1) {
    const VoiceFileBytes piano = testing::kDemoPiano;
    const PreviewTiming timing{22050, 4 * 44100};
    const std::vector<double> fast = render_mono(with_every_operator(piano, kRr, 15), kA4, timing);
    const std::vector<double> slow = render_mono(with_every_operator(piano, kRr, 1), kA4, timing);
    const double fast_s = seconds_to_fall(fast, timing.hold_samples, 60, kRate);
    const double slow_s = seconds_to_fall(slow, timing.hold_samples, 60, kRate);
    ASSERT_GE(fast_s, 0) << "RR 15 never fell 60 dB";
    // RR 1 may still be sounding when the tail ends; that is later still.
    EXPECT_TRUE(slow_s < 0 || fast_s < slow_s) << fast_s << " s against " << slow_s << " s";
    RecordProperty("rr15_seconds", std::to_string(fast_s));
    RecordProperty("rr1_seconds", std::to_string(slow_s));
}

// How a preview ends, over voices whose release falls fast, slowly, not at
// all within the time, or that are silent.
enum class Ending { kQuiet, kCut };
struct TailCase {
    const char* name;
    VoiceFileBytes voice;
    PreviewTiming timing;
    Ending ending;
};

TEST(Listening, EveryPreviewEndsBelowMinus60DbfsAndAtExactlyZero) {
    const VoiceFileBytes piano = testing::kDemoPiano;
    const TailCase cases[] = {
        {"piano", piano, {44100, 3 * 44100}, Ending::kQuiet},
        {"piano let go at once", piano, {1, 3 * 44100}, Ending::kQuiet},
        {"release rate 15", with_every_operator(piano, kRr, 15), {22050, 3 * 44100}, Ending::kQuiet},
        {"slowest release", with_every_operator(piano, kRr, 0), {44100, 3 * 44100}, Ending::kCut},
        {"release longer than the preview", piano, {44100, 2205}, Ending::kCut},
        {"held past 4 s", with_every_operator(piano, kRr, 0), {5 * 44100, 44100}, Ending::kCut},
        {"silent", piano_with_carrier_tl(127), {22050, 44100}, Ending::kQuiet},
    };
    for (const TailCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RenderResult result = render_preview(c.voice, kA4, c.timing);
        ASSERT_EQ(result.error, "");
        const std::vector<int16_t>& samples = result.samples;
        const size_t frames = samples.size() / 2;
        const size_t limit = std::min(preview_samples(c.timing), kMaxPreviewSamples);
        ASSERT_GT(frames, kQuietFrames);
        EXPECT_LE(frames, limit);
        EXPECT_LE(peak(samples, frames - kQuietFrames, kQuietFrames), kMinus60Dbfs) << "the last 10 ms";
        EXPECT_EQ(samples[2 * frames - 2], 0);
        EXPECT_EQ(samples[2 * frames - 1], 0);
        const RenderResult raw = render_raw(c.voice, kA4, c.timing);
        if (c.ending == Ending::kCut) {
            EXPECT_EQ(frames, limit);
            // Still sounding where it was cut: the fade, not the voice, made it quiet.
            EXPECT_GT(peak(raw.samples, frames - kQuietFrames, kQuietFrames), 8 * kMinus60Dbfs);
            continue;
        }
        EXPECT_LT(frames, limit);
        // Unchanged up to the 5 ms fade, and ended by the first quiet 10 ms of
        // the release, not earlier.
        const size_t kept = 2 * (frames - kClickFadeFrames);
        EXPECT_TRUE(
            std::equal(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(kept), raw.samples.begin()));
        EXPECT_LE(peak(raw.samples, frames - kQuietFrames, kQuietFrames), kMinus60Dbfs);
        // (A note keyed for one frame may be quiet from its first 10 ms on.)
        const size_t hold = std::min<size_t>(c.timing.hold_samples, limit);
        if (frames >= hold + 2 * kQuietFrames) {
            const size_t before = frames - 2 * kQuietFrames;
            EXPECT_GT(peak(raw.samples, before, kQuietFrames), kMinus60Dbfs) << "the window before the end";
        }
        RecordProperty(std::string(c.name) + " seconds", std::to_string(static_cast<double>(frames) / kRate));
    }
}

TEST(Listening, MatchedLoudnessBringsLoudAndQuietVoicesToOneLevel) {
    const VoiceFileBytes loud = piano_with_carrier_tl(0);
    const VoiceFileBytes quiet_voice = piano_with_carrier_tl(24);  // 18 dB down
    const PreviewTiming timing{44100, 3 * 44100};
    const auto held_db = [&](const VoiceFileBytes& voice, bool match) {
        const RenderResult result = render_preview(voice, kA4, timing, {match});
        EXPECT_EQ(result.error, "");
        // Both channels carry the same samples here, so the mono RMS is theirs.
        return 20 * std::log10(rms(mono(result.samples), 0, kLoudnessFrames) / 32768);
    };
    EXPECT_GT(held_db(loud, false) - held_db(quiet_voice, false), 12);
    const double loud_db = held_db(loud, true);
    const double quiet_db = held_db(quiet_voice, true);
    EXPECT_NEAR(loud_db, quiet_db, 0.5);
    EXPECT_NEAR(quiet_db, 20 * std::log10(kMatchedRms / 32768), 0.5);
    // Matched, the tail still ends below -60 dBFS and at zero.
    const RenderResult boosted = render_preview(quiet_voice, kA4, timing, {true});
    const size_t frames = boosted.samples.size() / 2;
    EXPECT_LE(peak(boosted.samples, frames - kQuietFrames, kQuietFrames), kMinus60Dbfs);
    EXPECT_EQ(boosted.samples.back(), 0);
    RecordProperty("unmatched_db",
                   std::to_string(held_db(loud, false)) + " " + std::to_string(held_db(quiet_voice, false)));
}

TEST(Listening, SameVoiceAndNoteRenderTheSameSamples) {
    const VoiceFileBytes piano = testing::kDemoPiano;
    const RenderResult first = render_preview(piano, 64, {});
    const RenderResult second = render_preview(piano, 64, {});
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.samples, second.samples);
    // A different note is not the same samples: the comparison can fail.
    EXPECT_NE(render_preview(piano, 65, {}).samples, first.samples);
}

TEST(Listening, DataThatIsNoLogIsRefusedWithLibgmesReason) {
    const RenderResult result = render_log(std::vector<uint8_t>(100, 0x20), 100);
    EXPECT_NE(result.error, "");
    EXPECT_TRUE(result.samples.empty());
}

}  // namespace
}  // namespace timbrex::preview
