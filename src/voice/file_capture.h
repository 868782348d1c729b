#pragma once
// Everything the voice capture reads and writes while one log is replayed. A
// default FileCapture is the start of a file: images all 0, snapshots all -1,
// DAC mode off, no voice yet.

#include <cstdint>
#include <vector>

#include "voice/capture_origin.h"
#include "voice/channel_images.h"
#include "voice/voice_list.h"

namespace timbrex {

struct FileCapture {
    ChannelImages images = fresh_channel_images();
    // Set while the YM2612's sixth channel plays samples (register 0x2B bit 7).
    bool dac_mode = false;
    // Samples at 44.1 kHz waited so far in this file: the walk adds each wait
    // here as it steps over it, so a key-on reads the time of its own command.
    uint64_t now = 0;
    // The voices first heard in this file, in capture order, each once.
    VoiceList voices;
    // Beside voices.records: the capture that listed each voice first, and
    // how many captures in the file gave it.
    std::vector<CaptureOrigin> origins;
};

}  // namespace timbrex
