#pragma once
// Per-channel register images shared by both chips: what each channel's voice
// registers hold now, and what they held at the channel's previous handled key-on.

#include "voice/voice_record.h"

namespace timbrex {

constexpr int kChannelCount = 8;

struct ChannelImages {
    VoiceRecord current[kChannelCount];
    VoiceRecord snapshot[kChannelCount];
};

// The images at the start of a file: all 0, snapshots all -1, so that each
// channel's first key-on in the file always counts as a change.
ChannelImages fresh_channel_images();

}  // namespace timbrex
