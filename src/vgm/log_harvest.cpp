#include "vgm/log_harvest.h"

#include <new>
#include <utility>

#include "vgm/command_walk.h"
#include "vgm/vgm_header.h"
#include "voice/file_capture.h"

namespace timbrex {

LogHarvest harvest_log(const uint8_t* data, size_t length) {
    LogHarvest harvest;
    VgmHeader header;
    if (!parse_vgm_header(data, length, header)) return harvest;
    harvest.major = bcd_to_int(header.major);
    harvest.minor = bcd_to_int(header.minor);
    try {
        FileCapture capture;
        walk_commands(capture, data, header.data_start, length, command_lengths_for(header.major, header.minor));
        harvest.voices = std::move(capture.voices.records);
        harvest.origins = std::move(capture.origins);
        harvest.status = HarvestStatus::accepted;
    } catch (const std::bad_alloc&) {
        harvest.voices.clear();
        harvest.origins.clear();
        harvest.status = HarvestStatus::out_of_memory;
    }
    return harvest;
}

}  // namespace timbrex
