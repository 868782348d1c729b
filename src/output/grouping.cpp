#include "output/grouping.h"

#include <algorithm>

#include "voice/position_table.h"

namespace timbrex {

namespace {

// Asks for every cache line of a record without waiting for any of them.
void prefetch(const VoiceRecord& record) {
#if defined(__GNUC__) || defined(__clang__)
    const char* bytes = reinterpret_cast<const char*>(&record);
    for (size_t offset = 0; offset < sizeof record; offset += 64) __builtin_prefetch(bytes + offset);
#else
    static_cast<void>(record);
#endif
}

}  // namespace

int32_t group_voices(std::vector<VoiceRecord>& records) {
    // One representative per group, found by hashing exactly what voices_equal
    // compares: linear expected time instead of comparing every pair.
    PositionTable first_members(hash_voice_shape, voices_equal);
    int32_t group_count = 0;
    // With a large list each lookup reads a table slot and compares a record
    // far away in memory. Taken one lookup at a time those cache misses come
    // one after another; so for a batch of records the hashes, then the slots,
    // then the records the lookups will most likely compare are read in
    // separate passes, each pass's misses overlapping, before the lookups
    // proper.
    constexpr size_t kBatch = 16;
    uint64_t hashes[kBatch];
    int32_t likely[kBatch];
    for (size_t begin = 0; begin < records.size(); begin += kBatch) {
        const size_t end = std::min(records.size(), begin + kBatch);
        for (size_t i = begin; i < end; ++i) hashes[i - begin] = first_members.hash(records[i]);
        for (size_t i = begin; i < end; ++i) likely[i - begin] = first_members.likely_match(hashes[i - begin]);
        for (size_t i = begin; i < end; ++i) {
            if (likely[i - begin] >= 0) prefetch(records[static_cast<size_t>(likely[i - begin])]);
        }
        for (size_t i = begin; i < end; ++i) {
            const int32_t first = first_members.find(records, records[i], hashes[i - begin]);
            if (first >= 0) {
                records[i].group = records[static_cast<size_t>(first)].group;
            } else {
                records[i].group = group_count++;
                first_members.insert_hashed(static_cast<int32_t>(i), hashes[i - begin]);
            }
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
