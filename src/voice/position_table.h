#pragma once
// An open-addressing hash set of positions into a caller's record array. Each
// slot holds a 32-bit position and the low 32 bits of its record's hash, so
// its memory is a small fraction of the records it indexes. The hash bits
// spare a look at a record for nearly every slot that does not match, and let
// the table grow without touching a record: with a million records those
// looks are cache misses and would make lookups slower the more voices there
// are. Hashing and equality come from the caller.

#include <cstdint>
#include <vector>

#include "voice/voice_record.h"

namespace timbrex {

class PositionTable {
   public:
    using HashFn = uint64_t (*)(const VoiceRecord&);
    using EqualFn = bool (*)(const VoiceRecord&, const VoiceRecord&);

    PositionTable(HashFn hash, EqualFn equal) : hash_(hash), equal_(equal) {}

    // The caller's hash function, for a caller that hashes once and then
    // calls find() and insert_hashed() with the result.
    uint64_t hash(const VoiceRecord& record) const { return hash_(record); }

    // Position of the stored record that equals `probe`, or -1.
    int32_t find(const std::vector<VoiceRecord>& records, const VoiceRecord& probe) const {
        return find(records, probe, hash_(probe));
    }

    // The same for a probe whose hash() the caller already has.
    int32_t find(const std::vector<VoiceRecord>& records, const VoiceRecord& probe, uint64_t hash) const {
        if (slots_.empty()) return -1;
        const auto tag = static_cast<uint32_t>(hash);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.position < 0) return -1;
            if (slot.tag == tag && equal_(records[static_cast<size_t>(slot.position)], probe)) return slot.position;
        }
    }

    // The record a find() with this hash would compare first, or -1: a hint
    // for reading records ahead of their lookups.
    int32_t likely_match(uint64_t hash) const {
        if (slots_.empty()) return -1;
        const auto tag = static_cast<uint32_t>(hash);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.position < 0 || slot.tag == tag) return slot.position;
        }
    }

    // Stores `position`; the caller makes sure no equal record is stored yet.
    void insert(const std::vector<VoiceRecord>& records, int32_t position) {
        insert_hashed(position, hash_(records[static_cast<size_t>(position)]));
    }

    // The same for a record whose hash() the caller already has.
    void insert_hashed(int32_t position, uint64_t hash) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        place({position, static_cast<uint32_t>(hash)});
        ++used_;
    }

    void clear() {
        slots_.clear();
        used_ = 0;
        mask_ = 0;
    }

   private:
    struct Slot {
        int32_t position;  // -1 for an empty slot
        uint32_t tag;      // low bits of the hash; they also pick the slot
    };

    void place(Slot slot) {
        size_t i = slot.tag & mask_;
        while (slots_[i].position >= 0) i = (i + 1) & mask_;
        slots_[i] = slot;
    }

    // Positions are 32-bit and the table stays at most half full, so it never
    // needs more slots than a 32-bit tag can pick.
    void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        const size_t size = old.empty() ? 64 : old.size() * 2;
        slots_.assign(size, Slot{-1, 0});
        mask_ = size - 1;
        for (const Slot& slot : old) {
            if (slot.position >= 0) place(slot);
        }
    }

    HashFn hash_;
    EqualFn equal_;
    std::vector<Slot> slots_;
    size_t used_ = 0;
    size_t mask_ = 0;
};

}  // namespace timbrex
