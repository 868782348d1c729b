#pragma once
// A voice's shape, what voices_equal compares, one byte a value: a quarter of
// the record's size, so that the shapes of the groups found so far stay in
// the cache while grouping streams over a million records.

#include <cstdint>

#include "voice/voice_record.h"

namespace timbrex {

// The low bytes of the 42 voice values in record order, the carriers' TL as
// 0, then zeros to a whole number of words.
struct ShapeKey {
    uint8_t bytes[48];
};

// Two voices whose compared values lie in -128..127, as every value read from
// the chips' registers does, are voices_equal exactly when their keys are equal.
void make_shape_key(const VoiceRecord& voice, ShapeKey& key);

bool shape_keys_equal(const ShapeKey& a, const ShapeKey& b);

uint64_t hash_shape_key(const ShapeKey& key);

struct ShapeKeyHash {
    uint64_t operator()(const ShapeKey& key) const { return hash_shape_key(key); }
};

struct SameShapeKey {
    bool operator()(const ShapeKey& a, const ShapeKey& b) const { return shape_keys_equal(a, b); }
};

}  // namespace timbrex
