#include "voice/key_on_capture.h"

#include <cstring>

namespace timbrex {

namespace {

constexpr int kDacChannel = 5;

// Register 0x28 bits 0-2: codes 0-2 are channels 1-3, codes 4-6 are channels
// 4-6. The unused codes 3 and 7 land on indices 3 and 6.
int ym2612_channel_from_code(unsigned code) {
    // Arithmetic rather than a choice: key-ons of both halves alternate
    // without pattern, and a branch here would be mispredicted.
    return static_cast<int>(code) - static_cast<int>(code > 3);
}

}  // namespace

void capture_key_on_ym2612(FileCapture& state, uint8_t value) {
    const int channel = ym2612_channel_from_code(value & 7u);
    if (channel == kDacChannel && state.dac_mode) return;
    if ((value & 0xF0u) == 0) return;  // key-off: no operator keyed on
    capture_voice(state, channel);
}

void capture_key_on_ym2151(FileCapture& state, uint8_t value) {
    if ((value & 0x78u) == 0) return;  // key-off: no operator keyed on
    capture_voice(state, value & 7);
}

void capture_voice(FileCapture& state, int channel) {
    const VoiceRecord& image = state.images.current[channel];
    VoiceRecord& snapshot = state.images.snapshot[channel];
    if (std::memcmp(&image, &snapshot, sizeof image) == 0) return;
    if (!is_silent(image)) append_if_new(state.voices, image);
    snapshot = image;
}

}  // namespace timbrex
