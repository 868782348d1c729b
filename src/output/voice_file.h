#pragma once
// The voice patch file: a bare 42-byte FM instrument.

#include <array>
#include <cstdint>
#include <string>

#include "voice/voice_record.h"

namespace timbrex {

constexpr size_t kVoiceFileBytes = 42;
using VoiceFileBytes = std::array<uint8_t, kVoiceFileBytes>;

// ALG, FB, then for slots 0-3: MUL, DT+3, TL, RS, AR, DR, SR, RR, SL, SSG; each
// the low 8 bits of its value.
VoiceFileBytes voice_file_bytes(const VoiceRecord& voice);

// The voice a patch file holds: each value its byte, DT the byte minus 3;
// group -1 and file_index 0. Bytes beyond a field's range are kept as they
// are, so voice_file_bytes gives the same 42 bytes back.
VoiceRecord voice_from_patch_bytes(const VoiceFileBytes& bytes);

// Creates or replaces the file at `path`. False if it could not be created,
// written or closed; nothing short is left behind then.
bool write_voice_file(const VoiceRecord& voice, const std::string& path);

// "<prefix><group>.vpf".
std::string patch_file_name(const std::string& prefix, int32_t group);

// "<directory><separator><prefix><group>.vpf" with the system's separator, "/" or "\".
std::string output_file_name(const std::string& directory, const std::string& prefix, int32_t group);

}  // namespace timbrex
