#include "preview/preview_tail.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace timbrex::preview {

namespace {

constexpr double kFullScale = 32767.0;
// -60 dB as a gain.
constexpr double kQuietGain = 0.001;

// Scales the frame `back` frames before the end (0: the last) by `gain`,
// rounding toward zero so that a quiet sample never grows.
void scale_frame(std::vector<int16_t>& stereo, size_t back, double gain) {
    const size_t at = stereo.size() - 2 * (back + 1);
    for (size_t c = 0; c < 2; ++c) {
        stereo[at + c] = static_cast<int16_t>(std::trunc(stereo[at + c] * gain));
    }
}

double click_fade_gain(size_t back) { return std::min(1.0, static_cast<double>(back) / kClickFadeFrames); }

}  // namespace

bool quiet(const std::vector<int16_t>& stereo, size_t from, size_t frames) {
    const size_t end = std::min(stereo.size(), 2 * (from + frames));
    for (size_t i = 2 * from; i < end; ++i) {
        if (std::abs(stereo[i]) > kQuietPeak) return false;
    }
    return true;
}

void fade_to_zero(std::vector<int16_t>& stereo) {
    const size_t frames = std::min<size_t>(stereo.size() / 2, kClickFadeFrames);
    for (size_t back = 0; back < frames; ++back) scale_frame(stereo, back, click_fade_gain(back));
}

void fade_in(std::vector<int16_t>& stereo) {
    const size_t frames = std::min<size_t>(stereo.size() / 2, kClickFadeFrames);
    for (size_t frame = 0; frame < frames; ++frame) {
        const double gain = static_cast<double>(frame) / kClickFadeFrames;
        for (size_t c = 0; c < 2; ++c) {
            stereo[2 * frame + c] = static_cast<int16_t>(std::trunc(stereo[2 * frame + c] * gain));
        }
    }
}

void fade_out(std::vector<int16_t>& stereo) {
    const size_t frames = std::min<size_t>(stereo.size() / 2, kLongFadeFrames);
    constexpr double falling = kLongFadeFrames - kQuietFrames;
    for (size_t back = 0; back < frames; ++back) {
        double gain = kQuietGain;
        if (back >= kQuietFrames) {
            // Even steps in dB: 0 dB at the fade's start, -60 dB 10 ms from the end.
            const double risen = static_cast<double>(back - kQuietFrames) / falling;
            gain = std::pow(kQuietGain, 1.0 - risen);
        }
        scale_frame(stereo, back, gain * click_fade_gain(back));
    }
}

void scale(std::vector<int16_t>& stereo, double gain) {
    for (int16_t& sample : stereo) {
        const double scaled = std::trunc(sample * gain);
        sample = static_cast<int16_t>(std::clamp(scaled, -32768.0, kFullScale));
    }
}

double loudness_gain(const std::vector<int16_t>& stereo, double target_rms) {
    double sum = 0;
    int peak = 0;
    for (const int16_t sample : stereo) {
        sum += static_cast<double>(sample) * sample;
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    if (peak == 0) return 1;
    const double rms = std::sqrt(sum / static_cast<double>(stereo.size()));
    return std::min(target_rms / rms, kFullScale / peak);
}

}  // namespace timbrex::preview
