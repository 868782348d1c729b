// The page's way to the bank writers: the same plan of files timbrex-bank
// saves, handed back as bytes for the page to download.

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bank/bank_arguments.h"
#include "bank/bank_files.h"
#include "output/voice_file.h"

namespace {

// Per instrument: its name, a zero byte, then the 42 bytes of its patch. False
// if the block ends inside an instrument.
bool unpack_instruments(const uint8_t* packed, size_t length, std::vector<timbrex::BankInstrument>& instruments) {
    size_t at = 0;
    while (at < length) {
        const auto* name_end = static_cast<const uint8_t*>(std::memchr(packed + at, 0, length - at));
        if (name_end == nullptr) return false;
        const size_t name_length = static_cast<size_t>(name_end - (packed + at));
        const size_t patch_at = at + name_length + 1;
        if (length - patch_at < timbrex::kVoiceFileBytes) return false;
        timbrex::VoiceFileBytes bytes;
        std::copy(packed + patch_at, packed + patch_at + timbrex::kVoiceFileBytes, bytes.begin());
        instruments.push_back({std::string(reinterpret_cast<const char*>(packed + at), name_length),
                               timbrex::voice_from_patch_bytes(bytes)});
        at = patch_at + timbrex::kVoiceFileBytes;
    }
    return true;
}

// Per file: its path, a zero byte, its size as 4 bytes little-endian, its bytes.
std::vector<uint8_t> pack_files(const timbrex::BankPlan& plan) {
    std::vector<uint8_t> packed;
    for (const timbrex::PlannedFile& file : plan.files) {
        packed.insert(packed.end(), file.path.begin(), file.path.end());
        packed.push_back(0);
        for (size_t i = 0; i < 4; ++i) packed.push_back(static_cast<uint8_t>(file.bytes.size() >> (8 * i)));
        packed.insert(packed.end(), file.bytes.begin(), file.bytes.end());
    }
    return packed;
}

}  // namespace

extern "C" {

// The files of a bank in `format` (0 WOPN, 1 OPM, 2 DMP) named from `out`
// for `length` bytes of packed instruments. Returns them packed as above in
// a block the caller frees with free(), its size in *result_length; null for
// a malformed block, too many instruments, or no memory.
EMSCRIPTEN_KEEPALIVE uint8_t* timbrex_bank_files(int format, const char* out, const uint8_t* packed, int length,
                                                 int* result_length) {
    *result_length = 0;
    if (format < 0 || format > 2) return nullptr;
    std::vector<timbrex::BankInstrument> instruments;
    if (!unpack_instruments(packed, length > 0 ? static_cast<size_t>(length) : 0, instruments)) return nullptr;
    const timbrex::BankPlan plan = timbrex::plan_bank(static_cast<timbrex::BankFormat>(format), out, instruments);
    if (plan.too_many) return nullptr;
    const std::vector<uint8_t> files = pack_files(plan);
    auto* result = static_cast<uint8_t*>(std::malloc(std::max<size_t>(files.size(), 1)));
    if (result == nullptr) return nullptr;
    std::copy(files.begin(), files.end(), result);
    *result_length = static_cast<int>(files.size());
    return result;
}

}  // extern "C"
