#pragma once
// Where in a log a voice was captured: which chip and channel keyed it on, and
// when. Kept beside the voice record, never in it or in the files written.

#include <cstdint>

namespace timbrex {

enum class Chip : uint8_t { ym2612, ym2151 };

struct CaptureOrigin {
    Chip chip = Chip::ym2612;
    // The chip's own channel number, counted from 1: YM2612 1-6 across both
    // ports (7 only through its unused key-on code 7), YM2151 1-8.
    uint8_t channel = 1;
    // The log's time line at the key-on: samples at 44.1 kHz of every wait
    // walked before it.
    uint64_t sample = 0;
    // The key-ons of the log that captured these voice values: each one with
    // a changed, sounding image.
    uint32_t captures = 1;
};

}  // namespace timbrex
