#pragma once
// Where each instrument of a run was heard: gathered while the files' voices
// are merged into the run's list, summed per group after grouping. None of it
// reaches the files written or the lines printed.

#include <cstdint>
#include <vector>

#include "voice/capture_origin.h"
#include "voice/voice_record.h"

namespace timbrex {

// One log that gave one voice of the run's list.
struct VoiceHearing {
    int32_t voice;       // position in the run's list
    int32_t file_index;  // the log's input list position
    uint32_t captures;   // the log's captures of these voice values
};

struct RunHearings {
    // Beside the run's voice list: the capture that listed each voice first,
    // in the log the voice record is stamped with.
    std::vector<CaptureOrigin> first;
    // Every voice of every log, in input list order.
    std::vector<VoiceHearing> hearings;
    // By input list position: true for a log whose compressed data failed a
    // check of its own.
    std::vector<bool> failed_check;
};

// The hearings of one group: the logs that gave a voice of it (each once)
// and all their captures of its voices.
struct GroupHearing {
    uint32_t logs = 0;
    uint64_t captures = 0;
};

// What the run's result tells of an instrument beside its file and source.
struct InstrumentOrigin {
    Chip chip = Chip::ym2612;
    int channel = 1;            // the chip's channel number, from 1
    uint64_t sample = 0;        // the kept take's key-on in its log, in 44.1 kHz samples
    uint32_t logs = 0;          // logs that gave a voice of the group
    uint64_t captures = 0;      // captures in all of them that gave one
    bool failed_check = false;  // the kept take's log failed a check of its compressed data
};

// Per group, from the groups grouping gave the records (before selection
// takes the group from all but the kept one). Hearings are in input list
// order, so each group's logs are counted by the change of log.
std::vector<GroupHearing> hearings_by_group(const RunHearings& run, const std::vector<VoiceRecord>& records,
                                            int32_t group_count);

// The origin of the kept record at `kept` with its group's hearing.
InstrumentOrigin instrument_origin(const RunHearings& run, const std::vector<VoiceRecord>& records, size_t kept,
                                   const GroupHearing& group);

}  // namespace timbrex
