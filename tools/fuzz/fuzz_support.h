#pragma once
// What the fuzz targets share: a scratch directory of their own, standard
// output captured per input so that every printed line can be checked, and the
// properties every captured voice must have whatever the input was.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "voice/voice_list.h"
#include "voice/voice_record.h"

namespace timbrex::fuzz {

// Aborts with a message: libFuzzer saves the input that broke the property.
inline void check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

// One directory per fuzzing process, removed at a normal exit. A crash leaves
// it behind on purpose: it holds the files of the failing input.
struct ScratchDirectory {
    std::string path;
    ScratchDirectory() {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/timbrex-fuzz-XXXXXX";
        if (::mkdtemp(path.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
};

inline const std::string& scratch_directory() {
    static const ScratchDirectory directory;
    return directory.path;
}

// Empties `directory`, creating it if needed.
inline void clear_directory(const std::string& directory) {
    std::error_code error;
    std::filesystem::remove_all(directory, error);
    std::filesystem::create_directories(directory, error);
    check(!error, "scratch directory can be created");
}

inline void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "input file can be created");
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    check(std::fclose(file) == 0 && written, "input file can be written");
}

// Standard output goes to a file in the scratch directory for the whole run;
// begin_output() empties it before an input, take_output() returns what that
// input printed. libFuzzer reports on standard error, which stays untouched.
inline void capture_stdout() {
    const std::string path = scratch_directory() + "/stdout.txt";
    check(std::freopen(path.c_str(), "w+", stdout) != nullptr, "stdout can be redirected");
}

inline void begin_output() {
    std::fflush(stdout);
    check(::ftruncate(::fileno(stdout), 0) == 0, "captured stdout can be emptied");
    std::rewind(stdout);
}

inline std::string take_output() {
    std::fflush(stdout);
    const int fd = ::fileno(stdout);
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
        at += got;
    }
    return text;
}

// A BCD byte as the program prints it, worked out here without its helpers.
inline int bcd_value(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

inline bool starts_with(const uint8_t* data, size_t size, const char* text) {
    const size_t length = std::strlen(text);
    return size >= length && std::memcmp(data, text, length) == 0;
}

inline bool in_range(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }

// Every value a register field can give, and a voice that can sound.
inline void check_voice(const VoiceRecord& voice) {
    check(in_range(voice.ALG, 0, 7) && in_range(voice.FB, 0, 7), "ALG and FB within 0..7");
    bool any_attack = false;
    bool any_audible = false;
    for (const FmOperator& op : voice.slot) {
        check(in_range(op.MUL, 0, 15), "MUL within 0..15");
        check(in_range(op.DT, -3, 3), "DT within -3..3");
        check(in_range(op.TL, 0, 127), "TL within 0..127");
        check(in_range(op.RS, 0, 3), "RS within 0..3");
        check(in_range(op.AR, 0, 31) && in_range(op.DR, 0, 31) && in_range(op.SR, 0, 31), "rates within 0..31");
        check(in_range(op.RR, 0, 15) && in_range(op.SL, 0, 15) && in_range(op.SSG, 0, 15), "RR, SL, SSG within 0..15");
        any_attack = any_attack || op.AR != 0;
        any_audible = any_audible || op.TL < 127;
    }
    check(any_attack && any_audible, "no silent voice is captured");
}

using VoiceValues = std::array<uint8_t, kVoiceValueBytes>;

// The list after a capture: no more records than key-on commands could have
// made (each is at least three bytes), each one valid, no two with the same 42
// values, and the index finding each record at its own position.
inline void check_voice_list(const VoiceList& list, uint64_t most_bytes_replayed) {
    check(list.records.size() <= most_bytes_replayed / 3, "at most one voice per three replayed bytes");
    std::vector<VoiceValues> values(list.records.size());
    for (size_t i = 0; i < list.records.size(); ++i) {
        check_voice(list.records[i]);
        check(find_voice(list, list.records[i]) == static_cast<int32_t>(i), "index finds every record");
        std::memcpy(values[i].data(), &list.records[i], kVoiceValueBytes);
    }
    std::sort(values.begin(), values.end());
    check(std::adjacent_find(values.begin(), values.end()) == values.end(), "no voice is captured twice");
}

}  // namespace timbrex::fuzz
