#pragma once
// A synthetic archive of VGM logs shaped like real rips: Mega Drive logs whose
// bulk is a YM2612 DAC stream (0x8n) fed from a PCM data block, and arcade logs
// with a YM2151 and an OKIM6295 sample ROM. Every log is a pure function of the
// corpus shape and its file number, so any log can be rebuilt in memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "voice/voice_record.h"

namespace timbrex::bench {

using Bytes = std::vector<uint8_t>;

struct CorpusShape {
    int files = 300;
    // Distinct instruments over the whole corpus: what timbrex reports as
    // "instruments were found" once volume variants are merged.
    int instruments = 2000;
    // Fixed value the whole corpus is derived from; another value gives
    // another corpus of the same shape.
    uint64_t random_start = 1;
    // Uncompressed size of a Mega Drive log is drawn from this range.
    size_t min_log_bytes = 1500 * 1024;
    size_t max_log_bytes = 4500 * 1024;
};

// The carrier attenuations a channel volume can add; every captured voice is
// an instrument at one of these.
constexpr int kVolumeSteps = 7;

// What one log holds, for the corpus summary and for the memory budget.
struct LogFacts {
    bool arcade = false;
    bool dac_stream = false;  // Mega Drive log whose drums are a DAC stream
    size_t uncompressed_bytes = 0;
    // Distinct (instrument, volume step) pairs keyed on: each becomes one
    // record in timbrex's voice list unless another log keyed it first.
    std::vector<uint32_t> keyed_voices;  // instrument * kVolumeSteps + step
};

// The voice of an instrument at a volume step; carriers get the step's
// attenuation on top of the instrument's own level.
VoiceRecord instrument_voice(const CorpusShape& shape, uint32_t instrument, int volume_step);

// Instruments one log plays, each of the corpus's instruments in at least one log.
std::vector<uint32_t> instruments_of_log(const CorpusShape& shape, int file);

// The uncompressed log for file number `file` (0-based).
Bytes make_log(const CorpusShape& shape, int file, LogFacts* facts = nullptr);

// "log_00042.vgz"
std::string log_file_name(int file);

}  // namespace timbrex::bench
