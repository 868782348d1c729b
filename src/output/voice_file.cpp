#include "output/voice_file.h"

#include <cstdio>

#include "platform/filesystem.h"

namespace timbrex {

namespace {
constexpr char kSeparator = platform::kPathSeparator;
constexpr int32_t kDetuneBias = 3;  // the file stores detune -3..+3 as 0..6
}  // namespace

VoiceFileBytes voice_file_bytes(const VoiceRecord& voice) {
    VoiceFileBytes bytes{};
    size_t at = 0;
    auto put = [&](int32_t value) { bytes[at++] = static_cast<uint8_t>(value & 0xFF); };
    put(voice.ALG);
    put(voice.FB);
    for (const FmOperator& op : voice.slot) {
        put(op.MUL);
        put(op.DT + kDetuneBias);
        put(op.TL);
        put(op.RS);
        put(op.AR);
        put(op.DR);
        put(op.SR);
        put(op.RR);
        put(op.SL);
        put(op.SSG);
    }
    return bytes;
}

VoiceRecord voice_from_patch_bytes(const VoiceFileBytes& bytes) {
    VoiceRecord voice{};
    size_t at = 0;
    auto take = [&]() { return static_cast<int32_t>(bytes[at++]); };
    voice.ALG = take();
    voice.FB = take();
    for (FmOperator& op : voice.slot) {
        op.MUL = take();
        op.DT = take() - kDetuneBias;
        op.TL = take();
        op.RS = take();
        op.AR = take();
        op.DR = take();
        op.SR = take();
        op.RR = take();
        op.SL = take();
        op.SSG = take();
    }
    voice.group = -1;
    voice.file_index = 0;
    return voice;
}

bool write_voice_file(const VoiceRecord& voice, const std::string& path) {
    const VoiceFileBytes bytes = voice_file_bytes(voice);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    // A full disk may only show at close, when the buffer is flushed.
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    platform::remove_partial_file(path);
    return false;
}

std::string patch_file_name(const std::string& prefix, int32_t group) {
    return prefix + std::to_string(group) + ".vpf";
}

std::string output_file_name(const std::string& directory, const std::string& prefix, int32_t group) {
    return directory + kSeparator + patch_file_name(prefix, group);
}

}  // namespace timbrex
