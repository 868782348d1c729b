#pragma once
// Everything the voice capture reads and writes while one log is replayed. A
// default FileCapture is the start of a file: images all 0, snapshots all -1,
// DAC mode off, no voice yet.

#include "voice/channel_images.h"
#include "voice/voice_list.h"

namespace timbrex {

struct FileCapture {
    ChannelImages images = fresh_channel_images();
    // Set while the YM2612's sixth channel plays samples (register 0x2B bit 7).
    bool dac_mode = false;
    // The voices first heard in this file, in capture order, each once.
    VoiceList voices;
};

}  // namespace timbrex
