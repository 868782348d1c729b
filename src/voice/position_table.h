#pragma once
// An open-addressing hash set of positions into a caller's array of items
// (voice records, or the compact keys grouping uses). Each slot holds a 32-bit
// position and the low 32 bits of its item's hash, so its memory is a small
// fraction of the items it indexes. The hash bits spare a look at an item for
// nearly every slot that does not match, and let the table grow without
// touching an item: with a million items those looks are cache misses and
// would make lookups slower the more voices there are. Hashing and equality
// are the caller's function objects, called directly so that they inline.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace timbrex {

template <typename Item, typename Hash, typename Equal>
class PositionTable {
   public:
    // The caller's hash function, for a caller that hashes once and then
    // calls find() and insert_hashed() with the result.
    uint64_t hash(const Item& item) const { return hash_(item); }

    // Position of the stored item that equals `probe`, or -1.
    template <typename Items>
    int32_t find(const Items& items, const Item& probe) const {
        return find(items, probe, hash_(probe));
    }

    // The same for a probe whose hash() the caller already has.
    template <typename Items>
    int32_t find(const Items& items, const Item& probe, uint64_t hash) const {
        if (slots_.empty()) return -1;
        const auto tag = static_cast<uint32_t>(hash);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.position < 0) return -1;
            // Equal tags only say the hashes agree in their low bits: the
            // items themselves decide.
            if (slot.tag == tag && equal_(items[static_cast<size_t>(slot.position)], probe)) return slot.position;
        }
    }

    // The item a find() with this hash would compare first, or -1: a hint
    // for reading items ahead of their lookups.
    int32_t likely_match(uint64_t hash) const {
        if (slots_.empty()) return -1;
        const auto tag = static_cast<uint32_t>(hash);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.position < 0 || slot.tag == tag) return slot.position;
        }
    }

    // Stores `position`; the caller makes sure no equal item is stored yet.
    template <typename Items>
    void insert(const Items& items, int32_t position) {
        insert_hashed(position, hash_(items[static_cast<size_t>(position)]));
    }

    // The same for an item whose hash() the caller already has.
    void insert_hashed(int32_t position, uint64_t hash) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        place({position, static_cast<uint32_t>(hash)});
        ++used_;
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

    Hash hash_;
    Equal equal_;
    std::vector<Slot> slots_;
    size_t used_ = 0;
    size_t mask_ = 0;
};

}  // namespace timbrex
