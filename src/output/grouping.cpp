#include "output/grouping.h"

#include <algorithm>

#include "output/shape_key.h"
#include "voice/position_table.h"

namespace timbrex {

namespace {

// Asks for the cache lines of an object without waiting for them.
template <typename T>
void prefetch(const T& object) {
#if defined(__GNUC__) || defined(__clang__)
    const char* bytes = reinterpret_cast<const char*>(&object);
    for (size_t offset = 0; offset < sizeof object; offset += 64) __builtin_prefetch(bytes + offset);
    __builtin_prefetch(bytes + sizeof object - 1);
#else
    static_cast<void>(object);
#endif
}

// How many records ahead of the one at hand a pass over the list asks for.
// The hardware's own prefetching of the stream starts late and stays short
// with records this size; asking ahead keeps a large list's passes from
// waiting on memory.
constexpr size_t kReadAhead = 64;

// The groups found so far, one representative each, numbered in order of
// their first member, and looked up by ShapeKey: the keys of a million
// records' groups fit in the cache, where the records would not.
//
// Records are taken in batches. With a large list each lookup reads a table
// slot and then a key, both likely cache misses; taken one lookup at a time
// they would come one after another. So for a batch the keys and hashes, then
// the slots, then the keys the lookups will most likely compare are read in
// separate passes, each pass's misses overlapping, before the lookups proper.
class GroupIndex {
   public:
    static constexpr size_t kBatch = 16;

    void group_batch(std::vector<VoiceRecord>& records, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const size_t b = i - begin;
            if (i + kReadAhead < records.size()) prefetch(records[i + kReadAhead]);
            make_shape_key(records[i], keys_[b]);
            hashes_[b] = by_key_.hash(keys_[b]);
        }
        for (size_t b = 0; b < end - begin; ++b) likely_[b] = by_key_.likely_match(hashes_[b]);
        for (size_t b = 0; b < end - begin; ++b) {
            if (likely_[b] >= 0) prefetch(group_keys_[static_cast<size_t>(likely_[b])]);
        }
        for (size_t i = begin; i < end; ++i) records[i].group = group_by_key(i - begin);
    }

    int32_t group_count() const { return static_cast<int32_t>(group_keys_.size()); }

   private:
    int32_t group_by_key(size_t b) {
        const int32_t found = by_key_.find(group_keys_, keys_[b], hashes_[b]);
        if (found >= 0) return found;
        const int32_t group = group_count();
        group_keys_.push_back(keys_[b]);
        by_key_.insert_hashed(group, hashes_[b]);
        return group;
    }

    // Indexed by group number; by_key_ holds group numbers.
    std::vector<ShapeKey> group_keys_;
    PositionTable<ShapeKey, ShapeKeyHash, SameShapeKey> by_key_;

    ShapeKey keys_[kBatch];
    uint64_t hashes_[kBatch];
    int32_t likely_[kBatch];
};

}  // namespace

int32_t group_voices(std::vector<VoiceRecord>& records) {
    // Hashing exactly what voices_equal compares gives linear expected time
    // instead of comparing every pair.
    GroupIndex index;
    for (size_t begin = 0; begin < records.size(); begin += GroupIndex::kBatch) {
        index.group_batch(records, begin, std::min(records.size(), begin + GroupIndex::kBatch));
    }
    return index.group_count();
}

void select_loudest(std::vector<VoiceRecord>& records, int32_t group_count) {
    // One pass: each group's best so far is kept and every other member is
    // dropped as soon as it is known to lose, so the list is streamed once; a
    // best that a louder member displaces later is dropped then. Only members
    // of loudness 0 met while their group has no best cannot be decided yet:
    // they are noted and settled at the end.
    const auto groups = static_cast<size_t>(group_count);
    std::vector<int64_t> best(groups, -1);
    std::vector<int32_t> best_loudness(groups, 0);
    std::vector<size_t> undecided;
    for (size_t i = 0; i < records.size(); ++i) {
        if (i + kReadAhead < records.size()) prefetch(records[i + kReadAhead]);
        const int32_t g = records[i].group;
        if (g < 0) continue;
        const auto group = static_cast<size_t>(g);
        const int32_t level = loudness(records[i]);
        // Strictly louder: the earlier of equally loud records stays, and a
        // record of loudness 0 is never chosen.
        if (level > best_loudness[group]) {
            if (best[group] >= 0) records[static_cast<size_t>(best[group])].group = -1;
            best_loudness[group] = level;
            best[group] = static_cast<int64_t>(i);
        } else if (best[group] >= 0) {
            records[i].group = -1;
        } else {
            undecided.push_back(i);
        }
    }
    // A group without a best (all members at loudness 0) keeps its members.
    for (size_t i : undecided) {
        if (best[static_cast<size_t>(records[i].group)] >= 0) records[i].group = -1;
    }
}

}  // namespace timbrex
