#pragma once
// An instrument on its way into a bank or preset: the voice and the name it
// goes by, and the cutting of names to what a format can hold.

#include <cstddef>
#include <string>

#include "voice/voice_record.h"

namespace timbrex {

struct BankInstrument {
    std::string name;  // the patch file's name without its suffix
    VoiceRecord voice;
};

// `name` cut to at most `max_bytes` bytes without splitting a UTF-8 sequence,
// with every control character (a line end, a tab, a NUL) made "_", so that a
// name can neither end a text bank's line nor a NUL-terminated field early.
std::string bank_name(const std::string& name, size_t max_bytes);

// The low `bits` bits of a voice value: a value beyond its field's range is
// taken the way the chip's register would take it.
inline unsigned field(int32_t value, unsigned bits) { return static_cast<unsigned>(value) & ((1u << bits) - 1u); }

}  // namespace timbrex
