#pragma once
// An open-addressing hash set of positions into a caller's record array. It
// stores only 32-bit positions, so its memory is a small fraction of the
// records it indexes; hashing and equality come from the caller.

#include <cstdint>
#include <vector>

#include "voice/voice_record.h"

namespace timbrex {

class PositionTable {
public:
    using HashFn = uint64_t (*)(const VoiceRecord&);
    using EqualFn = bool (*)(const VoiceRecord&, const VoiceRecord&);

    PositionTable(HashFn hash, EqualFn equal) : hash_(hash), equal_(equal) {}

    // Position of the stored record that equals `probe`, or -1.
    int32_t find(const std::vector<VoiceRecord>& records, const VoiceRecord& probe) const {
        if (slots_.empty()) return -1;
        for (size_t i = hash_(probe) & mask_;; i = (i + 1) & mask_) {
            const int32_t position = slots_[i];
            if (position < 0) return -1;
            if (equal_(records[static_cast<size_t>(position)], probe)) return position;
        }
    }

    // Stores `position`; the caller makes sure no equal record is stored yet.
    void insert(const std::vector<VoiceRecord>& records, int32_t position) {
        if ((used_ + 1) * 2 > slots_.size()) grow(records);
        place(records, position);
        ++used_;
    }

    void clear() {
        slots_.clear();
        used_ = 0;
        mask_ = 0;
    }

private:
    void place(const std::vector<VoiceRecord>& records, int32_t position) {
        size_t i = hash_(records[static_cast<size_t>(position)]) & mask_;
        while (slots_[i] >= 0) i = (i + 1) & mask_;
        slots_[i] = position;
    }

    void grow(const std::vector<VoiceRecord>& records) {
        std::vector<int32_t> old;
        old.swap(slots_);
        const size_t size = old.empty() ? 64 : old.size() * 2;
        slots_.assign(size, -1);
        mask_ = size - 1;
        for (int32_t position : old) {
            if (position >= 0) place(records, position);
        }
    }

    HashFn hash_;
    EqualFn equal_;
    std::vector<int32_t> slots_;
    size_t used_ = 0;
    size_t mask_ = 0;
};

}  // namespace timbrex
