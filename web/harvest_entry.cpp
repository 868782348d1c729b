// The page's way into the harvest. The worker mounts the dropped logs, makes
// an empty output folder the current directory and calls timbrex_harvest;
// what the run prints reaches the worker line by line through stdout.

#include <emscripten/emscripten.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/program.h"

namespace {

// The arguments arrive as one block, each ended by a zero byte, so that any
// byte a file name may hold passes unchanged.
std::vector<std::string> unpack_arguments(const char* packed, size_t length) {
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (packed[i] != '\0') continue;
        arguments.emplace_back(packed + start, i - start);
        start = i + 1;
    }
    return arguments;
}

// Where the instrument was heard, as decimal words a script reads without
// caring for byte order or 64-bit numbers: "<chip> <channel> <sample> <logs>
// <captures> <failed check 0 or 1>", e.g. "YM2151 6 1624 2 4 0".
std::string pack_origin(const timbrex::InstrumentOrigin& origin) {
    return std::string(origin.chip == timbrex::Chip::ym2151 ? "YM2151" : "YM2612") + ' ' +
           std::to_string(origin.channel) + ' ' + std::to_string(origin.sample) + ' ' + std::to_string(origin.logs) +
           ' ' + std::to_string(origin.captures) + ' ' + (origin.failed_check ? '1' : '0');
}

// Per instrument: '1' if saved, else '0'; the file name; a zero byte; the
// source path; a zero byte; its origin as above; a zero byte.
std::string pack_instruments(const std::vector<timbrex::SavedInstrument>& instruments) {
    std::string packed;
    for (const timbrex::SavedInstrument& instrument : instruments) {
        packed += instrument.saved ? '1' : '0';
        packed += instrument.file_name;
        packed += '\0';
        packed += instrument.source_path;
        packed += '\0';
        packed += pack_origin(instrument.origin);
        packed += '\0';
    }
    return packed;
}

}  // namespace

extern "C" {

// Runs the whole harvest on one thread for `length` bytes of packed
// arguments. Returns the instruments packed as above in a block the caller
// frees with free(), its size in *result_length; null if that block cannot
// be had.
EMSCRIPTEN_KEEPALIVE char* timbrex_harvest(const char* packed_arguments, int length, int* result_length) {
    *result_length = 0;
    const std::vector<std::string> arguments =
        unpack_arguments(packed_arguments, length > 0 ? static_cast<size_t>(length) : 0);
    const std::string packed = pack_instruments(timbrex::run_harvest(arguments, 1));
    char* result = static_cast<char*>(std::malloc(packed.size() + 1));
    if (result == nullptr) return nullptr;
    std::memcpy(result, packed.c_str(), packed.size() + 1);
    *result_length = static_cast<int>(packed.size());
    return result;
}

}  // extern "C"
