#include "output/grouping.h"

#include "voice/position_table.h"

namespace timbrex {

int32_t group_voices(std::vector<VoiceRecord>& records) {
    // One representative per group, found by hashing exactly what voices_equal
    // compares: linear expected time instead of comparing every pair.
    PositionTable first_members(hash_voice_shape, voices_equal);
    int32_t group_count = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t first = first_members.find(records, records[i]);
        if (first >= 0) {
            records[i].group = records[static_cast<size_t>(first)].group;
        } else {
            records[i].group = group_count++;
            first_members.insert(records, static_cast<int32_t>(i));
        }
    }
    return group_count;
}

void select_loudest(std::vector<VoiceRecord>& records, int32_t group_count) {
    const auto groups = static_cast<size_t>(group_count);
    std::vector<int64_t> best(groups, -1);
    std::vector<int32_t> best_loudness(groups, 0);
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        if (g < 0) continue;
        const int32_t level = loudness(records[i]);
        // Strictly louder: the earlier of equally loud records stays, and a
        // record of loudness 0 is never chosen.
        if (level > best_loudness[static_cast<size_t>(g)]) {
            best_loudness[static_cast<size_t>(g)] = level;
            best[static_cast<size_t>(g)] = static_cast<int64_t>(i);
        }
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const int32_t g = records[i].group;
        if (g < 0) continue;
        const int64_t kept = best[static_cast<size_t>(g)];
        // A group without a best (all members at loudness 0) keeps its members.
        if (kept >= 0 && kept != static_cast<int64_t>(i)) records[i].group = -1;
    }
}

}  // namespace timbrex
