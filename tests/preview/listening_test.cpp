// Listening to previews rendered by libgme's YM2612: the demo's piano at the
// pitch of its note, silence where the carriers are muted, release rates
// that shape the tail, the same samples on every render. The measuring
// helpers are checked first on signals of known pitch.

#include "listening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "demo_piano.h"
#include "preview/preview_render.h"

namespace timbrex::preview {
namespace {

using testing::fundamental_hz;
using testing::mono;
using testing::rms;
using testing::seconds_to_fall;

constexpr double kRate = kSampleRate;
constexpr int kA4 = 69;

std::vector<double> render_mono(const VoiceFileBytes& voice, int note, const PreviewTiming& timing) {
    const RenderResult result = render_preview(voice, note, timing);
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
    VoiceFileBytes muted = testing::kDemoPiano;
    ASSERT_EQ(muted[0], 4);
    muted[2 + 20 + kTl] = 127;
    muted[2 + 30 + kTl] = 127;
    const RenderResult result = render_preview(muted, kA4, {22050, 22050});
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
