#pragma once
// Deciding at key-on whether a channel's voice is new, and keeping it if so:
// the step both chips' key-on registers lead to.

#include "voice/capture_origin.h"
#include "voice/file_capture.h"

namespace timbrex {

// Appends the channel's image when it changed since the channel's previous
// handled key-on, makes sound and is not among the file's voices yet, with
// `chip`, the channel and the file's time as its origin; counts the capture
// for a voice listed already. The snapshot then takes the image in any case.
// `channel` is the index into the shared images (0-7).
void capture_voice(FileCapture& state, Chip chip, int channel);

}  // namespace timbrex
