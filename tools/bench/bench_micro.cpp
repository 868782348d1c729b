// Micro-benchmarks of the harvest's own work, apart from reading and
// inflating files: the command walk, the capture of voices at key-on with
// its lookup in the voice list, and grouping with selection of the loudest.
// Capture and grouping run at 10,000, 100,000 and 1,000,000 distinct voices,
// where their cost must grow linearly, each in two shapes: "Run" orders the
// work as a run over many logs does (a log's voices close together, a few
// from earlier logs), "Scattered" takes the voices in random order, so that
// every lookup lands far from the previous one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "corpus.h"
#include "output/grouping.h"
#include "vgm/command_walk.h"
#include "vgm/vgm_header.h"
#include "voice/channel_images.h"
#include "voice/file_capture.h"
#include "voice/key_on_capture.h"
#include "voice/voice_list.h"

namespace {

using timbrex::bench::Bytes;
using timbrex::bench::CorpusShape;
using timbrex::bench::LogFacts;

constexpr uint64_t kRandomStart = 1;

// The benchmarks' inputs take longer to build than to use: each is built once
// per argument and kept for the whole process.
template <typename Key, typename Value, typename Make>
const Value& built_once(std::map<Key, Value>& built, Key key, Make make) {
    auto found = built.find(key);
    if (found == built.end()) found = built.emplace(key, make(key)).first;
    return found->second;
}

CorpusShape bench_shape() {
    CorpusShape shape;
    shape.random_start = kRandomStart;
    return shape;
}

// A long Mega Drive log with a DAC stream, the kind that dominates an archive
// by volume, or an arcade log with a YM2151 and a sample ROM.
Bytes make_large_log(bool arcade) {
    CorpusShape shape = bench_shape();
    shape.instruments = 400;
    shape.files = 20;
    shape.min_log_bytes = shape.max_log_bytes = 16u << 20;
    for (int file = 0; file < shape.files; ++file) {
        LogFacts facts;
        Bytes log = timbrex::bench::make_log(shape, file, &facts);
        if (facts.arcade == arcade && (arcade || facts.dac_stream)) return log;
    }
    throw std::runtime_error("no log of the wanted kind among the generated ones");
}

const Bytes& large_log(bool arcade) {
    static std::map<bool, Bytes> logs;
    return built_once(logs, arcade, make_large_log);
}

void walk_log(benchmark::State& st, bool arcade) {
    const Bytes& log = large_log(arcade);
    timbrex::VgmHeader header;
    if (!timbrex::parse_vgm_header(log.data(), log.size(), header)) {
        st.SkipWithError("generated log has no header");
        return;
    }
    const timbrex::CommandLengths& lengths = timbrex::command_lengths_for(header.major, header.minor);
    // Each iteration is the log's own harvest: fresh images, an empty list of
    // the file's voices.
    auto state = std::make_unique<timbrex::FileCapture>();
    for (auto _ : st) {
        *state = timbrex::FileCapture{};
        timbrex::walk_commands(*state, log.data(), header.data_start, log.size(), lengths);
        benchmark::DoNotOptimize(state->voices.records.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(log.size()));
    st.counters["log_MB"] = static_cast<double>(log.size()) / 1e6;
    st.counters["voices"] = static_cast<double>(state->voices.records.size());
}

void BM_WalkMegaDriveLog(benchmark::State& st) { walk_log(st, false); }
void BM_WalkArcadeLog(benchmark::State& st) { walk_log(st, true); }

// splitmix64, for the fixed orders below.
uint64_t next_random(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

template <typename T>
void shuffle(std::vector<T>& items, uint64_t& x) {
    for (size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[static_cast<size_t>(next_random(x) % i)]);
}

// Ends an iteration of a capture benchmark: frees the voice list and hands the
// memory back to the system, so that every iteration, like a run, starts with
// none and pays for the pages its list grows into. Without it glibc keeps a
// list of up to 32 MB on its heap for the next iteration, and the smaller
// sizes would skip a cost the largest pays.
template <typename State>
void end_run(std::unique_ptr<State>& state) {
    state.reset();
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

constexpr size_t kNewVoicesPerFile = 40;
constexpr int kRounds = 6;

// The key-ons of a run over many files that together hold `count` distinct
// voices (a multiple of 40), shaped like the corpus: each file brings 40
// voices not heard before (8 new instruments at volume steps 0-3, and 8
// instruments of earlier files at a step not used yet) and plays them, with 10
// voices of earlier files, in six rounds.
struct RunPlan {
    std::vector<timbrex::VoiceRecord> voices;  // in order of first key-on, as capture lists them
    // What each file plays, in the order of its key-ons in one round, file
    // after file: the voices a file's register writes would build. Kept
    // apart from `voices` so that replaying a file reads a small block, as a
    // log's own writes do, rather than reaching all over the list.
    std::vector<timbrex::VoiceRecord> played;
    std::vector<uint32_t> file_starts;  // first of each file in `played`, and the end
    size_t key_ons = 0;
    size_t instruments = 0;
};

RunPlan make_run_plan(size_t count) {
    const CorpusShape shape = bench_shape();
    RunPlan plan;
    std::vector<uint8_t> extra_steps;  // per instrument: steps above 3 used so far
    uint64_t x = kRandomStart;
    for (size_t file = 0; plan.voices.size() < count; ++file) {
        const size_t earlier_voices = plan.voices.size();
        const size_t earlier_instruments = plan.instruments;
        std::vector<uint32_t> played;
        auto add = [&](size_t instrument, int step) {
            timbrex::VoiceRecord v = timbrex::bench::instrument_voice(shape, static_cast<uint32_t>(instrument), step);
            v.group = -1;
            v.file_index = static_cast<int32_t>(file);
            played.push_back(static_cast<uint32_t>(plan.voices.size()));
            plan.voices.push_back(v);
        };
        auto add_instrument = [&]() {
            extra_steps.push_back(0);
            for (int step = 0; step < 4; ++step) add(plan.instruments, step);
            ++plan.instruments;
        };
        for (int i = 0; i < 8; ++i) add_instrument();
        for (int i = 0; i < 8; ++i) {
            bool placed = false;
            for (int attempt = 0; attempt < 8 && earlier_instruments > 0 && !placed; ++attempt) {
                const size_t instrument = static_cast<size_t>(next_random(x) % earlier_instruments);
                if (extra_steps[instrument] >= timbrex::bench::kVolumeSteps - 4) continue;
                add(instrument, 4 + extra_steps[instrument]++);
                placed = true;
            }
            if (!placed) {
                add_instrument();
                i += 3;
            }
        }
        for (int i = 0; i < 10 && earlier_voices > 0; ++i) {
            played.push_back(static_cast<uint32_t>(next_random(x) % earlier_voices));
        }
        shuffle(played, x);
        plan.file_starts.push_back(static_cast<uint32_t>(plan.played.size()));
        for (uint32_t v : played) plan.played.push_back(plan.voices[v]);
        plan.key_ons += kRounds * played.size();
    }
    plan.file_starts.push_back(static_cast<uint32_t>(plan.played.size()));
    return plan;
}

const RunPlan& run_plan(size_t count) {
    static std::map<size_t, RunPlan> plans;
    return built_once(plans, count, make_run_plan);
}

// Replays the plan's key-ons as the register handlers would: the channel's
// image takes the voice, then the key-on captures it. Channels rotate, so a
// key-on mostly finds its channel holding another voice and looks the voice up
// among the file's voices; at the end of each file its voices are merged into
// the run's list as the driver does.
void BM_CaptureRun(benchmark::State& st) {
    const RunPlan& plan = run_plan(static_cast<size_t>(st.range(0)));
    size_t listed = 0;
    for (auto _ : st) {
        st.PauseTiming();
        auto run = std::make_unique<timbrex::VoiceList>();
        st.ResumeTiming();
        size_t k = 0;
        for (size_t file = 0; file + 1 < plan.file_starts.size(); ++file) {
            timbrex::FileCapture state;
            for (int round = 0; round < kRounds; ++round) {
                for (size_t v = plan.file_starts[file]; v < plan.file_starts[file + 1]; ++v, ++k) {
                    const int channel = static_cast<int>(k % timbrex::kChannelCount);
                    state.images.current[channel] = plan.played[v];
                    timbrex::capture_voice(state, timbrex::Chip::ym2612, channel);
                }
            }
            for (const timbrex::VoiceRecord& voice : state.voices.records) timbrex::append_if_new(*run, voice);
        }
        listed = run->records.size();
        st.PauseTiming();
        end_run(run);
        st.ResumeTiming();
    }
    if (listed != plan.voices.size()) st.SkipWithError("capture did not list every distinct voice exactly once");
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(plan.key_ons));
    st.counters["key_ons"] = static_cast<double>(plan.key_ons);
}

// `count` distinct voices: instruments at four volume steps each, in an order
// with no locality at all, the worst case for every lookup.
std::vector<timbrex::VoiceRecord> make_scattered_voices(size_t count) {
    const CorpusShape shape = bench_shape();
    std::vector<timbrex::VoiceRecord> voices;
    voices.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        timbrex::VoiceRecord v =
            timbrex::bench::instrument_voice(shape, static_cast<uint32_t>(i / 4), static_cast<int>(i % 4));
        v.group = -1;
        v.file_index = static_cast<int32_t>(i / 64);
        voices.push_back(v);
    }
    uint64_t x = kRandomStart;
    shuffle(voices, x);
    return voices;
}

const std::vector<timbrex::VoiceRecord>& scattered_voices(size_t count) {
    static std::map<size_t, std::vector<timbrex::VoiceRecord>> voices;
    return built_once(voices, count, make_scattered_voices);
}

// Every voice keyed on twice, on channels in turn: the first time it is new
// (lookup misses, append), the second time it is found, far from the last.
void BM_CaptureScattered(benchmark::State& st) {
    const auto count = static_cast<size_t>(st.range(0));
    const std::vector<timbrex::VoiceRecord>& voices = scattered_voices(count);
    size_t listed = 0;
    for (auto _ : st) {
        st.PauseTiming();
        auto state = std::make_unique<timbrex::FileCapture>();
        st.ResumeTiming();
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t i = 0; i < count; ++i) {
                const int channel = static_cast<int>(i % timbrex::kChannelCount);
                state->images.current[channel] = voices[i];
                timbrex::capture_voice(*state, timbrex::Chip::ym2612, channel);
            }
        }
        listed = state->voices.records.size();
        st.PauseTiming();
        end_run(state);
        st.ResumeTiming();
    }
    if (listed != count) st.SkipWithError("capture did not list every distinct voice exactly once");
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(2 * count));
}

void group_and_select(benchmark::State& st, const std::vector<timbrex::VoiceRecord>& voices, size_t expected_groups) {
    std::vector<timbrex::VoiceRecord> records;
    int32_t groups = 0;
    for (auto _ : st) {
        st.PauseTiming();
        records = voices;
        st.ResumeTiming();
        groups = timbrex::group_voices(records);
        timbrex::select_loudest(records, groups);
        benchmark::DoNotOptimize(records.data());
    }
    if (static_cast<size_t>(groups) != expected_groups) st.SkipWithError("grouping found the wrong number of groups");
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(voices.size()));
    st.counters["groups"] = groups;
}

// The voice list as BM_CaptureRun leaves it.
void BM_GroupAndSelectRun(benchmark::State& st) {
    const RunPlan& plan = run_plan(static_cast<size_t>(st.range(0)));
    group_and_select(st, plan.voices, plan.instruments);
}

void BM_GroupAndSelectScattered(benchmark::State& st) {
    const auto count = static_cast<size_t>(st.range(0));
    group_and_select(st, scattered_voices(count), (count + 3) / 4);
}

void voice_counts(benchmark::internal::Benchmark* b) {
    b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_WalkMegaDriveLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkArcadeLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureRun)->Apply(voice_counts);
BENCHMARK(BM_CaptureScattered)->Apply(voice_counts);
BENCHMARK(BM_GroupAndSelectRun)->Apply(voice_counts);
BENCHMARK(BM_GroupAndSelectScattered)->Apply(voice_counts);

BENCHMARK_MAIN();
