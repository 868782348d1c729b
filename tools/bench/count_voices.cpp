// What bounds timbrex's memory on a set of logs: the largest uncompressed log
// and the number of voice records the run collects. Runs the loader and the
// capture as timbrex does, over argv[1..], and prints
// "largest_log=BYTES voice_records=N" on standard error.

#include <cstdio>

#include "vgm/log_harvest.h"
#include "vgm/log_reader.h"
#include "voice/voice_list.h"

int main(int argc, char** argv) {
    timbrex::VoiceList voices;
    timbrex::LogBuffer log;
    size_t largest = 0;
    for (int i = 1; i < argc; ++i) {
        if (timbrex::read_log(argv[i], log) != timbrex::LogReadStatus::ok) continue;
        if (log.length > largest) largest = log.length;
        const timbrex::LogHarvest harvest = timbrex::harvest_log(log.bytes.get(), log.length);
        for (const timbrex::VoiceRecord& voice : harvest.voices) timbrex::append_if_new(voices, voice);
    }
    std::fprintf(stderr, "largest_log=%zu voice_records=%zu\n", largest, voices.records.size());
    return 0;
}
