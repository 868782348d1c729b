#include "output/shape_key.h"

#include <gtest/gtest.h>

#include <random>

#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::sample_voice;

// Pairs that are equal, equal but for carrier levels, or one value apart, at
// every algorithm: key equality must be voices_equal exactly.
TEST(ShapeKey, EqualKeysExactlyWhenVoicesEqual) {
    std::mt19937 random(11u);
    int equal_pairs = 0;
    for (int round = 0; round < 4000; ++round) {
        const VoiceRecord a = sample_voice(static_cast<uint32_t>(random() % 50), static_cast<int32_t>(random() % 8),
                                           static_cast<int32_t>(random() % 128));
        VoiceRecord b = a;
        const int slot = static_cast<int>(random() % kSlotCount);
        switch (random() % 5) {
            case 0: break;
            case 1: b.slot[slot].TL = static_cast<int32_t>(random() % 128); break;
            case 2: b.slot[slot].DT = -b.slot[slot].DT - 1; break;
            case 3: b.FB = (b.FB + 1) & 7; break;
            default: b.ALG = (b.ALG + 1 + static_cast<int32_t>(random() % 7)) & 7; break;
        }
        ShapeKey ka;
        ShapeKey kb;
        make_shape_key(a, ka);
        make_shape_key(b, kb);
        ASSERT_EQ(shape_keys_equal(ka, kb), voices_equal(a, b)) << "round " << round;
        if (shape_keys_equal(ka, kb)) {
            ++equal_pairs;
            EXPECT_EQ(hash_shape_key(ka), hash_shape_key(kb));
        }
    }
    EXPECT_GT(equal_pairs, 1000);
    EXPECT_LT(equal_pairs, 3000);
}

// Each compared value is kept as its byte, signed values included; carriers'
// levels and the bookkeeping values do not reach the key.
TEST(ShapeKey, HoldsTheComparedValuesOnly) {
    VoiceRecord voice = sample_voice(3, 4);  // carriers: slots 2 and 3
    ShapeKey reference;
    make_shape_key(voice, reference);
    ShapeKey key;
    for (int32_t value : {-128, -3, 127}) {
        voice.slot[0].DT = value;
        make_shape_key(voice, key);
        EXPECT_EQ(static_cast<int8_t>(key.bytes[1]), value);  // slot 0 DT
    }
    voice = sample_voice(3, 4);
    voice.slot[1].TL ^= 1;  // a modulator's level is compared
    make_shape_key(voice, key);
    EXPECT_FALSE(shape_keys_equal(key, reference));
    voice.slot[1].TL ^= 1;
    voice.slot[3].TL = 100;  // a carrier's is not
    voice.group = 1 << 20;   // nor is bookkeeping
    voice.file_index = -5000;
    make_shape_key(voice, key);
    EXPECT_TRUE(shape_keys_equal(key, reference));
    for (size_t i = kVoiceValueCount; i < sizeof key.bytes; ++i) EXPECT_EQ(key.bytes[i], 0) << "padding " << i;
}

}  // namespace
}  // namespace timbrex
