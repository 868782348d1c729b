// The input is an uncompressed log as it would be after loading: identifier,
// version, data start, command walk, register decoding and capture all run on
// it through harvest_log, which starts every log afresh.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "vgm/log_harvest.h"
#include "voice/voice_list.h"

namespace {
constexpr size_t kHeaderBytes = 0x38;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace timbrex;
    const LogHarvest harvest = harvest_log(data, size);

    const bool is_log = size >= kHeaderBytes && fuzz::starts_with(data, size, "Vgm ");
    fuzz::check(harvest.status == (is_log ? HarvestStatus::accepted : HarvestStatus::not_vgm),
                "a log is accepted exactly when it has the identifier and a full header");
    if (is_log) {
        fuzz::check(harvest.major == fuzz::bcd_value(data[0x09]) && harvest.minor == fuzz::bcd_value(data[0x08]),
                    "the version is the header's BCD digits");
    }
    VoiceList list;
    for (const VoiceRecord& voice : harvest.voices) {
        fuzz::check(append_if_new(list, voice), "a file gives each voice once");
        fuzz::check(voice.file_index == 0 && voice.group == 0, "the bookkeeping values are the images' own");
    }
    fuzz::check_voice_list(list, size);
    return 0;
}
