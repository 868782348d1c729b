#include "voice/key_on_capture.h"

#include <cstring>

namespace timbrex {

void capture_voice(FileCapture& state, Chip chip, int channel) {
    const VoiceRecord& image = state.images.current[channel];
    VoiceRecord& snapshot = state.images.snapshot[channel];
    if (std::memcmp(&image, &snapshot, sizeof image) == 0) return;
    if (!is_silent(image)) {
        const Listing listing = list_voice(state.voices, image);
        if (listing.added) {
            CaptureOrigin origin;
            origin.chip = chip;
            origin.channel = static_cast<uint8_t>(channel + 1);
            origin.sample = state.now;
            state.origins.push_back(origin);
        } else {
            ++state.origins[static_cast<size_t>(listing.position)].captures;
        }
    }
    snapshot = image;
}

}  // namespace timbrex
