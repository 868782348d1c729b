#pragma once
// Everything the voice capture reads and writes while logs are replayed.

#include "voice/channel_images.h"
#include "voice/voice_list.h"

namespace timbrex {

struct CaptureState {
    VoiceList voices;
    ChannelImages images{};
    // Set while the YM2612's sixth channel plays samples (register 0x2B bit 7).
    bool dac_mode = false;
};

}  // namespace timbrex
