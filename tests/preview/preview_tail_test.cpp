// The ends and levels of previews on signals of known shape: what counts as
// quiet, the 5 ms fade to zero, the fade of a sound cut while sounding, and
// the gain that matches loudness.

#include "preview/preview_tail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace timbrex::preview {
namespace {

// `frames` stereo frames, left `left` and right `right`.
std::vector<int16_t> steady(size_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> out;
    for (size_t i = 0; i < frames; ++i) out.insert(out.end(), {left, right});
    return out;
}

int frame_peak(const std::vector<int16_t>& stereo, size_t frame) {
    return std::max(std::abs(stereo[2 * frame]), std::abs(stereo[2 * frame + 1]));
}

TEST(PreviewTail, QuietMeansEverySampleAtMost32FromZeroInTheStretch) {
    EXPECT_TRUE(quiet(steady(441, 32, -32), 0, 441));
    EXPECT_FALSE(quiet(steady(441, 0, -33), 0, 441));
    std::vector<int16_t> click = steady(100, 0, 0);
    click[2 * 60 + 1] = 40;
    EXPECT_FALSE(quiet(click, 50, 20));
    EXPECT_TRUE(quiet(click, 0, 60));
    EXPECT_TRUE(quiet(click, 61, 39));
}

TEST(PreviewTail, FadesEndAtZeroAndTouchNothingBeforeThem) {
    struct Case {
        const char* name;
        void (*fade)(std::vector<int16_t>&);
        size_t length;
    };
    for (const Case& c : {Case{"5 ms", fade_to_zero, kClickFadeFrames}, Case{"0.25 s", fade_out, kLongFadeFrames}}) {
        SCOPED_TRACE(c.name);
        const size_t frames = 20000;
        std::vector<int16_t> samples = steady(frames, 32767, -32768);
        c.fade(samples);
        EXPECT_EQ(frame_peak(samples, frames - c.length - 1), 32768);
        EXPECT_EQ(samples[2 * frames - 2], 0);
        EXPECT_EQ(samples[2 * frames - 1], 0);
        for (size_t f = frames - c.length; f + 1 < frames; ++f) {
            ASSERT_LE(frame_peak(samples, f + 1), frame_peak(samples, f)) << "rises at frame " << f;
        }
    }
    // Cut at full scale, the long fade leaves the last 10 ms below -60 dBFS,
    // passing -30 dB half-way down.
    std::vector<int16_t> cut = steady(20000, -32768, 32767);
    fade_out(cut);
    EXPECT_TRUE(quiet(cut, 20000 - kQuietFrames, kQuietFrames));
    EXPECT_FALSE(quiet(cut, 20000 - kQuietFrames - 45, 1));  // 1 ms earlier: above it
    const size_t half = 20000 - kQuietFrames - (kLongFadeFrames - kQuietFrames) / 2;
    EXPECT_NEAR(20 * std::log10(frame_peak(cut, half) / 32768.0), -30, 0.1);
    // Shorter than a fade: all of it fades.
    std::vector<int16_t> short_one = steady(10, 1000, 1000);
    fade_out(short_one);
    EXPECT_EQ(short_one.back(), 0);
    EXPECT_LE(frame_peak(short_one, 0), 1);
}

// A stretch cut from the middle of a song starts at zero and rises over
// 5 ms, never above the sound, which it leaves alone after that.
TEST(PreviewTail, FadeInRisesFromZeroAndTouchesNothingAfterIt) {
    std::vector<int16_t> samples = steady(1000, -32768, 32767);
    fade_in(samples);
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[1], 0);
    for (size_t f = 0; f + 1 < kClickFadeFrames; ++f) {
        ASSERT_LT(frame_peak(samples, f), frame_peak(samples, f + 1)) << "falls at frame " << f;
    }
    EXPECT_EQ(samples[2 * kClickFadeFrames], -32768);
    EXPECT_EQ(samples[2 * kClickFadeFrames + 1], 32767);
    std::vector<int16_t> short_one = steady(10, 1000, 1000);
    fade_in(short_one);
    EXPECT_EQ(short_one[0], 0);
    EXPECT_LT(frame_peak(short_one, 9), 1000);
}

TEST(PreviewTail, LoudnessGainReachesTheTargetRmsUnlessItWouldClip) {
    // A square wave of amplitude a has RMS a.
    EXPECT_DOUBLE_EQ(loudness_gain(steady(100, 1000, -1000), 4000), 4.0);
    EXPECT_DOUBLE_EQ(loudness_gain(steady(100, 8000, -8000), 4000), 0.5);
    // One loud sample among quiet ones: the gain stops where it reaches full scale.
    std::vector<int16_t> spiky = steady(1000, 10, 10);
    spiky[0] = 16000;
    EXPECT_NEAR(loudness_gain(spiky, 4000), 32767.0 / 16000, 1e-9);
    EXPECT_EQ(loudness_gain(steady(100, 0, 0), 4000), 1.0);

    std::vector<int16_t> scaled = {1000, -1000, 30000, -30000, 33, -33};
    scale(scaled, 2.0);
    EXPECT_EQ(scaled, (std::vector<int16_t>{2000, -2000, 32767, -32768, 66, -66}));
    scale(scaled, 0.49);  // toward zero: 32.34 is 32
    EXPECT_EQ(scaled[4], 32);
}

}  // namespace
}  // namespace timbrex::preview
