// The harvest of logs already in memory, in nanoseconds per command:
// reading and inflating are left out; the header, the command walk, the
// register handlers, the capture with its lookups and the merge into the
// run's voice list are in, as in a run.
//   walk_rate [--passes N] FILE...   ->  "commands=C bytes=B ns_per_command=X"
// Each pass walks every log in the order given, with a fresh voice list;
// the fastest pass is reported.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vgm/bytes.h"
#include "vgm/command_walk.h"
#include "vgm/log_harvest.h"
#include "vgm/log_reader.h"
#include "vgm/vgm_header.h"
#include "voice/voice_list.h"

namespace {

struct LoadedLog {
    std::vector<uint8_t> bytes;
    timbrex::VgmHeader header;
};

// The commands the walk steps over: the same steps as the walk, by the
// length table, without touching a handler.
uint64_t count_commands(const LoadedLog& log) {
    const timbrex::CommandLengths& lengths = timbrex::command_lengths_for(log.header.major, log.header.minor);
    const uint64_t size = log.bytes.size();
    uint64_t commands = 0;
    for (uint64_t position = log.header.data_start; position < size; ++commands) {
        const uint8_t opcode = log.bytes[position];
        uint64_t length = lengths[opcode];
        if (length == 0) {
            if (opcode == 0x66 || position + 7 > size) return commands + 1;
            length = 7 + timbrex::read_le32(log.bytes.data(), position + 3);
        }
        if (position + length > size) return commands + 1;
        position += length;
    }
    return commands;
}

// Every log harvested in turn and its voices merged into one list, as a
// run on one thread does.
double walk_all(const std::vector<LoadedLog>& logs) {
    timbrex::VoiceList run;
    const auto start = std::chrono::steady_clock::now();
    for (const LoadedLog& log : logs) {
        const timbrex::LogHarvest harvest = timbrex::harvest_log(log.bytes.data(), log.bytes.size());
        for (const timbrex::VoiceRecord& voice : harvest.voices) timbrex::append_if_new(run, voice);
    }
    const auto end = std::chrono::steady_clock::now();
    if (run.records.empty()) std::fputs("walk_rate: no voice captured\n", stderr);
    return std::chrono::duration<double, std::nano>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int passes = 9;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--passes") == 0) {
        passes = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    std::vector<LoadedLog> logs;
    uint64_t commands = 0;
    uint64_t bytes = 0;
    timbrex::LogBuffer buffer;
    for (int i = first; i < argc; ++i) {
        if (timbrex::read_log(argv[i], buffer) != timbrex::LogReadStatus::ok) continue;
        LoadedLog log;
        // Exactly the bytes read, so that a walk past them is caught by a sanitizer.
        log.bytes.assign(buffer.bytes.get(), buffer.bytes.get() + buffer.length);
        if (!timbrex::parse_vgm_header(log.bytes.data(), log.bytes.size(), log.header)) continue;
        commands += count_commands(log);
        bytes += log.bytes.size();
        logs.push_back(std::move(log));
    }
    if (commands == 0) {
        std::fputs("walk_rate: no commands in the logs given\n", stderr);
        return 1;
    }
    double fastest = walk_all(logs);
    for (int pass = 1; pass < passes; ++pass) fastest = std::min(fastest, walk_all(logs));
    std::printf("logs=%zu commands=%llu bytes=%llu ns_per_command=%.3f\n", logs.size(),
                static_cast<unsigned long long>(commands), static_cast<unsigned long long>(bytes),
                fastest / static_cast<double>(commands));
    return 0;
}
