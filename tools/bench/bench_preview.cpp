// Rendering 2 s of the demo's piano (1 s held, 1 s of release), every frame:
// the log is written and libgme plays it to 44.1 kHz stereo. The page renders
// a preview for every note played (up to 4 s, most end sooner), so this must
// stay well under 50 ms.

#include <benchmark/benchmark.h>

#include "preview/preview_render.h"

namespace {

// demo_0.vpf: ALG 4, FB 5, four operators in slot order.
constexpr timbrex::VoiceFileBytes kPiano = {
    4, 5,                             // ALG, FB
    1, 0, 35, 1, 31, 12, 3, 7, 2, 0,  // slot 0: MUL, DT+3, TL, RS, AR, DR, SR, RR, SL, SSG
    2, 3, 28, 1, 31, 10, 4, 6, 3, 0,  // slot 1
    1, 6, 12, 0, 31, 8,  2, 7, 2, 0,  // slot 2
    1, 3, 12, 0, 31, 9,  2, 7, 2, 0,  // slot 3
};

void BM_RenderPreview2s(benchmark::State& state) {
    const timbrex::preview::PreviewTiming timing{44100, 44100};
    for (auto _ : state) {
        const timbrex::preview::RenderResult result = timbrex::preview::render_log(
            timbrex::preview::preview_log(kPiano, 69, timing), timbrex::preview::preview_samples(timing));
        benchmark::DoNotOptimize(result.samples.data());
    }
}
BENCHMARK(BM_RenderPreview2s)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
