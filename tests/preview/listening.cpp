#include "listening.h"

#include <cmath>

namespace timbrex::testing {

namespace {

// Normalised autocorrelation of the window [from, from + count) with itself
// `lag` samples later: 1 for a signal that repeats exactly after `lag`.
double correlation(const std::vector<double>& x, size_t from, size_t count, size_t lag) {
    double cross = 0;
    double early = 0;
    double late = 0;
    for (size_t i = from; i < from + count; ++i) {
        cross += x[i] * x[i + lag];
        early += x[i] * x[i];
        late += x[i + lag] * x[i + lag];
    }
    return early > 0 && late > 0 ? cross / std::sqrt(early * late) : 0;
}

// The peak of the parabola through the correlations at lag - 1, lag, lag + 1.
double refined_peak(const std::vector<double>& x, size_t from, size_t count, size_t lag) {
    const double before = correlation(x, from, count, lag - 1);
    const double at = correlation(x, from, count, lag);
    const double after = correlation(x, from, count, lag + 1);
    const double curve = before - 2 * at + after;
    return curve < 0 ? static_cast<double>(lag) + 0.5 * (before - after) / curve : static_cast<double>(lag);
}

constexpr double kLowestHz = 30;
constexpr double kHighestHz = 2000;
constexpr size_t kRefinePeriods = 8;

}  // namespace

std::vector<double> mono(const std::vector<int16_t>& stereo) {
    std::vector<double> out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = (stereo[2 * i] + stereo[2 * i + 1]) / 2.0;
    return out;
}

double fundamental_hz(const std::vector<double>& signal, size_t from, size_t count, double rate) {
    const auto min_lag = static_cast<size_t>(rate / kHighestHz);
    const auto max_lag = static_cast<size_t>(rate / kLowestHz);
    if (count <= kRefinePeriods * max_lag + 2 || from + count > signal.size()) return 0;
    // The refinement looks up to eight periods ahead, so the window leaves room.
    const size_t window = count - kRefinePeriods * max_lag - 2;
    std::vector<double> r(max_lag + 2, 0);
    double best = 0;
    for (size_t lag = min_lag; lag <= max_lag + 1; ++lag) {
        r[lag] = correlation(signal, from, window, lag);
        if (r[lag] > best) best = r[lag];
    }
    if (best < 0.5) return 0;
    // Every multiple of the period correlates as well as the period; the
    // shortest lag at a local peak near the best is the period itself.
    for (size_t lag = min_lag + 1; lag <= max_lag; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double period = refined_peak(signal, from, window, lag);
            // Eight periods on, the same peak fixes the period eight times finer.
            auto far = static_cast<size_t>(std::lround(period * kRefinePeriods));
            for (int step = 0; step < 4; ++step) {
                if (correlation(signal, from, window, far + 1) > correlation(signal, from, window, far))
                    ++far;
                else if (correlation(signal, from, window, far - 1) > correlation(signal, from, window, far))
                    --far;
            }
            return rate * kRefinePeriods / refined_peak(signal, from, window, far);
        }
    }
    return 0;
}

double rms(const std::vector<double>& signal, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count && i < signal.size(); ++i) sum += signal[i] * signal[i];
    return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0;
}

double seconds_to_fall(const std::vector<double>& signal, size_t from, double db, double rate) {
    const auto window = static_cast<size_t>(rate / 100);
    if (from < window) return -1;
    const double threshold = rms(signal, from - window, window) * std::pow(10.0, -db / 20);
    for (size_t at = from; at + window <= signal.size(); at += window) {
        if (rms(signal, at, window) < threshold) return static_cast<double>(at - from) / rate;
    }
    return -1;
}

}  // namespace timbrex::testing
