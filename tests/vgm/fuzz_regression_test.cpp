// Every input kept in tools/fuzz/regressions (crash inputs the fuzzers found and
// hand-made hostile logs) replayed through replay_log and loaded from a file
// through process_vgm. Under the sanitizer build any stray read or write fails
// the test; in every build the printed line and the captured voices must stay
// within what the input can give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "run_binary.h"
#include "vgm/log_reader.h"
#include "vgm/vgm_loader.h"
#include "vgm_writer.h"
#include "voice/capture_state.h"

#ifndef TIMBREX_SOURCE_DIR
#error "TIMBREX_SOURCE_DIR must name the source tree"
#endif

namespace timbrex {
namespace {

using testing::Bytes;

std::string regressions_directory() { return std::string(TIMBREX_SOURCE_DIR) + "/tools/fuzz/regressions"; }

std::vector<std::string> regression_files() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(regressions_directory(), error)) {
        if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What `action` prints on standard output, taken at the file descriptor so
// that printf output is caught whatever its buffering. GoogleTest's capture
// goes through a named file: emscripten's runtime loses what is written
// through a descriptor duplicated from an unlinked one, as tmpfile() gives.
std::string printed_by(const std::function<void()>& action) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

bool starts_with(const Bytes& data, const char* text) {
    const size_t length = std::strlen(text);
    return data.size() >= length && std::memcmp(data.data(), text, length) == 0;
}

uint32_t last_four(const Bytes& data) {
    if (data.size() < 4) return 0;
    const size_t at = data.size() - 4;
    return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
           static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
}

std::string processing_line(const std::string& path, uint8_t major, uint8_t minor) {
    const auto bcd = [](uint8_t v) { return std::to_string((v >> 4) * 10 + (v & 0x0F)); };
    return "OK: Processing '" + path + "' (VGM v" + bcd(major) + "." + bcd(minor) + ")\n";
}

// A captured voice holds register fields only and can sound: some operator
// has an attack rate and some operator is not fully attenuated.
void expect_valid_voices(const std::vector<VoiceRecord>& voices, uint64_t bytes_replayed) {
    // Each voice needs its own key-on command, three bytes long.
    EXPECT_LE(voices.size(), bytes_replayed / 3);
    for (const VoiceRecord& voice : voices) {
        EXPECT_TRUE(voice.ALG >= 0 && voice.ALG <= 7 && voice.FB >= 0 && voice.FB <= 7);
        bool any_attack = false;
        bool any_audible = false;
        for (const FmOperator& op : voice.slot) {
            EXPECT_TRUE(op.MUL >= 0 && op.MUL <= 15 && op.DT >= -3 && op.DT <= 3 && op.TL >= 0 && op.TL <= 127);
            EXPECT_TRUE(op.RS >= 0 && op.RS <= 3 && op.AR >= 0 && op.AR <= 31 && op.DR >= 0 && op.DR <= 31);
            EXPECT_TRUE(op.SR >= 0 && op.SR <= 31 && op.RR >= 0 && op.RR <= 15 && op.SL >= 0 && op.SL <= 15);
            EXPECT_TRUE(op.SSG >= 0 && op.SSG <= 15);
            any_attack = any_attack || op.AR != 0;
            any_audible = any_audible || op.TL < 127;
        }
        EXPECT_TRUE(any_attack && any_audible) << "a silent voice was captured";
    }
}

struct Replay {
    bool accepted = false;
    std::string printed;
    std::vector<VoiceRecord> voices;
};

Replay replay(const std::string& path, const Bytes& data) {
    // An allocation of exactly the input's size, unlike a vector's capacity,
    // lets AddressSanitizer see a read one byte past the end.
    const std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size() == 0 ? 1 : data.size()]);
    std::copy(data.begin(), data.end(), exact.get());
    auto state = std::make_unique<CaptureState>();
    reset_channel_images(state->images);
    Replay result;
    result.printed = printed_by([&] { result.accepted = replay_log(*state, path, exact.get(), data.size(), 0); });
    result.voices = state->voices.records;
    return result;
}

Replay load(const std::string& path) {
    auto state = std::make_unique<CaptureState>();
    reset_channel_images(state->images);
    Replay result;
    result.printed = printed_by([&] { result.accepted = process_vgm(*state, path, 0); });
    result.voices = state->voices.records;
    return result;
}

// A buffer as a larger earlier log would leave it: full of key-ons of an
// audible voice, so that reading past the delivered bytes captures something.
LogBuffer leftover_buffer() {
    constexpr size_t kCapacity = 1 << 20;
    LogBuffer log;
    log.bytes.reset(new uint8_t[kCapacity]);
    log.capacity = kCapacity;
    const uint8_t pattern[] = {0x52, 0x50, 0x1F, 0x52, 0x28, 0xF0, 0x52, 0x40, 0x05, 0x52, 0x28, 0xF0};
    for (size_t at = 0; at < kCapacity; ++at) log.bytes[at] = pattern[at % sizeof pattern];
    return log;
}

Replay load_into_leftovers(const std::string& path) {
    LogBuffer log = leftover_buffer();
    auto state = std::make_unique<CaptureState>();
    reset_channel_images(state->images);
    Replay result;
    result.printed = printed_by([&] { result.accepted = process_vgm(*state, path, 0, log); });
    result.voices = state->voices.records;
    return result;
}

bool same_records(const std::vector<VoiceRecord>& a, const std::vector<VoiceRecord>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

std::string parameter_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

TEST(FuzzRegressionFolder, HoldsTheHostileInputs) {
    // A missing or emptied folder would make every test below vanish silently.
    EXPECT_GE(regression_files().size(), 10u) << regressions_directory();
}

class FuzzRegression : public ::testing::TestWithParam<std::string> {
   protected:
    Bytes input() const { return testing::read_file(regressions_directory() + "/" + GetParam()); }
};

TEST_P(FuzzRegression, ReplayPrintsOneLineAndStaysWithinTheInput) {
    const Bytes data = input();
    const std::string path = "regression " + GetParam();
    const Replay got = replay(path, data);

    const bool is_log = data.size() >= 0x38 && starts_with(data, "Vgm ");
    EXPECT_EQ(got.accepted, is_log);
    EXPECT_EQ(got.printed,
              is_log ? processing_line(path, data[0x09], data[0x08]) : "ERR: No VGM found in file '" + path + "'\n");
    expect_valid_voices(got.voices, data.size());
}

TEST_P(FuzzRegression, LoadFollowsTheSizeRule) {
    const Bytes data = input();
    const testing::TempDir dir;
    const std::string path = dir / GetParam();
    testing::write_file(path, data);
    const Replay got = load(path);

    const bool plain = starts_with(data, "Vgm ");
    const bool gzip = data.size() >= 2 && data[0] == 0x1F && data[1] == 0x8B;
    const uint64_t announced = plain ? data.size() : last_four(data);
    if (announced >= 0x80000000u) {
        EXPECT_FALSE(got.accepted);
        EXPECT_EQ(got.printed, "ERR: Can't alloc memory for file '" + path + "'\n");
        EXPECT_TRUE(got.voices.empty());
    } else if (plain) {
        // A plain log is delivered whole: loading it is replaying it.
        const Replay replayed = replay(path, data);
        EXPECT_EQ(got.accepted, replayed.accepted);
        EXPECT_EQ(got.printed, replayed.printed);
        EXPECT_TRUE(same_records(got.voices, replayed.voices));
    } else if (!gzip) {
        // Copied unchanged, so it still lacks the identifier.
        EXPECT_FALSE(got.accepted);
        EXPECT_EQ(got.printed, "ERR: No VGM found in file '" + path + "'\n");
        EXPECT_TRUE(got.voices.empty());
    } else {
        const std::string refused = "ERR: No VGM found in file '" + path + "'\n";
        const std::string head = "OK: Processing '" + path + "' (VGM v";
        if (got.accepted) {
            EXPECT_EQ(got.printed.compare(0, head.size(), head), 0) << got.printed;
            EXPECT_EQ(std::count(got.printed.begin(), got.printed.end(), '\n'), 1) << got.printed;
        } else {
            EXPECT_EQ(got.printed, refused);
        }
        // Nothing beyond the announced size is delivered, so nothing beyond it is replayed.
        expect_valid_voices(got.voices, announced);
    }
}

TEST_P(FuzzRegression, LoadIntoAReusedBufferMatchesAFreshLoad) {
    const testing::TempDir dir;
    const std::string path = dir / GetParam();
    testing::write_file(path, input());
    const Replay fresh = load(path);
    const Replay reused = load_into_leftovers(path);
    EXPECT_EQ(reused.accepted, fresh.accepted);
    EXPECT_EQ(reused.printed, fresh.printed);
    EXPECT_TRUE(same_records(reused.voices, fresh.voices));
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzRegression, ::testing::ValuesIn(regression_files()), parameter_name);

}  // namespace
}  // namespace timbrex
