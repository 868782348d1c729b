#pragma once
// What one uncompressed log gives the run, computed from its bytes alone: a
// file starts with fresh channel images and DAC mode off, so the voices it
// brings, in order, depend on nothing else. Several logs may be harvested at
// once on different threads.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voice/capture_origin.h"
#include "voice/voice_record.h"

namespace timbrex {

enum class HarvestStatus {
    not_vgm,        // too short for the header, or no "Vgm " identifier
    accepted,       // walked whole
    out_of_memory,  // accepted, but the capture ran out of memory during the walk
};

struct LogHarvest {
    HarvestStatus status = HarvestStatus::not_vgm;
    int major = 0;  // version as the processing line prints it: 1.50 is 1 and 50
    int minor = 0;
    // The file's voices in capture order: each image captured at a changed,
    // non-silent key-on, at its first occurrence in the file. Their
    // bookkeeping values are the images' (0).
    std::vector<VoiceRecord> voices;
    // Beside `voices`: where and when each was first captured, and how many
    // captures of the file gave it.
    std::vector<CaptureOrigin> origins;
};

// Checks the header of `length` bytes of uncompressed log and walks its
// commands from the data start, reading nothing beyond `length`.
LogHarvest harvest_log(const uint8_t* data, size_t length);

}  // namespace timbrex
