#include "output/shape_key.h"

#include <cstring>

namespace timbrex {

namespace {

constexpr size_t kKeyWords = sizeof(ShapeKey) / sizeof(uint64_t);
static_assert(sizeof(ShapeKey) % (3 * sizeof(uint64_t)) == 0, "a key is whole groups of three words");
static_assert(sizeof(ShapeKey::bytes) >= kVoiceValueCount, "a key holds every voice value");

}  // namespace

void make_shape_key(const VoiceRecord& voice, ShapeKey& key) {
    int32_t values[kVoiceValueCount];
    shape_values(voice, values);
    std::memset(&key, 0, sizeof key);
    for (int i = 0; i < kVoiceValueCount; ++i) key.bytes[i] = static_cast<uint8_t>(values[i]);
}

bool shape_keys_equal(const ShapeKey& a, const ShapeKey& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

uint64_t hash_shape_key(const ShapeKey& key) {
    uint64_t words[kKeyWords];
    std::memcpy(words, &key, sizeof key);
    return hash_words(words, kKeyWords);
}

}  // namespace timbrex
