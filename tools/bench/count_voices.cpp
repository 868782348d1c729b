// What bounds timbrex's memory on a set of logs: the largest uncompressed log
// and the number of voice records the run collects. Runs the loader and the
// capture as timbrex does, over argv[1..], and prints
// "largest_log=BYTES voice_records=N" on standard error (standard output
// carries the loader's own lines).

#include <cstdio>

#include "vgm/vgm_loader.h"
#include "voice/capture_state.h"

int main(int argc, char** argv) {
    timbrex::CaptureState state;
    timbrex::LogBuffer log;
    size_t largest = 0;
    for (int i = 1; i < argc; ++i) {
        timbrex::reset_channel_images(state.images);
        timbrex::process_vgm(state, argv[i], i - 1, log);
        if (log.length > largest) largest = log.length;
    }
    std::fprintf(stderr, "largest_log=%zu voice_records=%zu\n", largest, state.voices.records.size());
    return 0;
}
