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

// Start of every file: images all 0, snapshots all -1, so that each channel's
// first key-on in the file always counts as a change.
void reset_channel_images(ChannelImages& images);

}  // namespace timbrex
