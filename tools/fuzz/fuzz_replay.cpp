// The input is an uncompressed log as it would be after loading: identifier,
// version, data start, command walk, register decoding and capture all run on
// it, with fresh channel images and an empty voice list each time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "vgm/vgm_loader.h"
#include "voice/capture_state.h"

namespace {
const std::string kPath = "fuzz input.vgm";
constexpr int32_t kFileIndex = 3;
constexpr size_t kHeaderBytes = 0x38;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    timbrex::fuzz::capture_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace timbrex;
    fuzz::begin_output();
    auto state = std::make_unique<CaptureState>();
    reset_channel_images(state->images);
    const bool accepted = replay_log(*state, kPath, data, size, kFileIndex);
    const std::string printed = fuzz::take_output();

    const bool is_log = size >= kHeaderBytes && fuzz::starts_with(data, size, "Vgm ");
    fuzz::check(accepted == is_log, "a log is accepted exactly when it has the identifier and a full header");
    const std::string expected =
        is_log ? fuzz::processing_line(kPath, data[0x09], data[0x08]) : "ERR: No VGM found in file '" + kPath + "'\n";
    fuzz::check(printed == expected, "exactly one line, the processing line or the refusal");

    fuzz::check_voice_list(state->voices, size);
    for (const VoiceRecord& voice : state->voices.records) {
        fuzz::check(voice.file_index == kFileIndex, "every voice carries its file index");
    }
    return 0;
}
