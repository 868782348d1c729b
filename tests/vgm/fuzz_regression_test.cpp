// Every input kept in tools/fuzz/regressions (crash inputs the fuzzers found and
// hand-made hostile logs) harvested from memory and loaded from a file. Under
// the sanitizer build any stray read or write fails the test; in every build
// the verdict and the captured voices must stay within what the input can give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "run_binary.h"
#include "vgm/log_harvest.h"
#include "vgm/log_reader.h"
#include "vgm_writer.h"

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

int bcd_digits(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

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
    LogReadStatus load = LogReadStatus::ok;
    LogHarvest harvest;
};

Replay replay(const Bytes& data) {
    // An allocation of exactly the input's size, unlike a vector's capacity,
    // lets AddressSanitizer see a read one byte past the end.
    const std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size() == 0 ? 1 : data.size()]);
    std::copy(data.begin(), data.end(), exact.get());
    return {LogReadStatus::ok, harvest_log(exact.get(), data.size())};
}

Replay load_into(const std::string& path, LogBuffer& log) {
    Replay result;
    result.load = read_log(path, log);
    if (result.load == LogReadStatus::ok) result.harvest = harvest_log(log.bytes.get(), log.length);
    return result;
}

Replay load(const std::string& path) {
    LogBuffer log;
    return load_into(path, log);
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
    return load_into(path, log);
}

bool same_records(const std::vector<VoiceRecord>& a, const std::vector<VoiceRecord>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

void expect_same_replay(const Replay& a, const Replay& b) {
    EXPECT_EQ(a.load, b.load);
    EXPECT_EQ(a.harvest.status, b.harvest.status);
    EXPECT_EQ(a.harvest.major, b.harvest.major);
    EXPECT_EQ(a.harvest.minor, b.harvest.minor);
    EXPECT_TRUE(same_records(a.harvest.voices, b.harvest.voices));
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

TEST_P(FuzzRegression, HarvestAcceptsOnlyLogsAndStaysWithinTheInput) {
    const Bytes data = input();
    const LogHarvest got = replay(data).harvest;

    const bool is_log = data.size() >= 0x38 && starts_with(data, "Vgm ");
    EXPECT_EQ(got.status, is_log ? HarvestStatus::accepted : HarvestStatus::not_vgm);
    if (is_log) {
        EXPECT_EQ(got.major, bcd_digits(data[0x09]));
        EXPECT_EQ(got.minor, bcd_digits(data[0x08]));
    }
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
        EXPECT_EQ(got.load, LogReadStatus::too_large);
        EXPECT_TRUE(got.harvest.voices.empty());
    } else if (plain) {
        // A plain log is delivered whole: loading it is replaying it.
        expect_same_replay(got, replay(data));
    } else if (!gzip) {
        // Copied unchanged, so it still lacks the identifier.
        EXPECT_EQ(got.load, LogReadStatus::ok);
        EXPECT_EQ(got.harvest.status, HarvestStatus::not_vgm);
        EXPECT_TRUE(got.harvest.voices.empty());
    } else {
        EXPECT_EQ(got.load, LogReadStatus::ok);
        EXPECT_NE(got.harvest.status, HarvestStatus::out_of_memory);
        // Nothing beyond the announced size is delivered, so nothing beyond it is replayed.
        expect_valid_voices(got.harvest.voices, announced);
    }
}

TEST_P(FuzzRegression, LoadIntoAReusedBufferMatchesAFreshLoad) {
    const testing::TempDir dir;
    const std::string path = dir / GetParam();
    testing::write_file(path, input());
    expect_same_replay(load_into_leftovers(path), load(path));
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzRegression, ::testing::ValuesIn(regression_files()), parameter_name);

}  // namespace
}  // namespace timbrex
