#include "output/voice_file.h"

#include <cstdio>

#include "messages.h"
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

std::string output_file_name(const std::string& directory, const std::string& prefix, int32_t group) {
    return directory + kSeparator + prefix + std::to_string(group) + ".vpf";
}

void write_outputs(const std::vector<VoiceRecord>& records, int32_t group_count, const std::string& directory,
                   const std::vector<std::string>& prefixes) {
    // Selection leaves exactly one record per group; find each in one pass
    // rather than scanning the list once per group.
    std::vector<int64_t> kept(static_cast<size_t>(group_count), -1);
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        if (g >= 0 && g < group_count && kept[static_cast<size_t>(g)] < 0)
            kept[static_cast<size_t>(g)] = static_cast<int64_t>(i);
    }
    for (int32_t g = 0; g < group_count; ++g) {
        const int64_t position = kept[static_cast<size_t>(g)];
        if (position < 0) continue;
        const VoiceRecord& voice = records[static_cast<size_t>(position)];
        const std::string name = output_file_name(directory, prefixes[static_cast<size_t>(voice.file_index)], g);
        if (!write_voice_file(voice, name)) std::printf(messages::kCantSaveFile, name.c_str());
    }
}

}  // namespace timbrex
