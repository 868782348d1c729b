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
        const VoiceRecord a =
            sample_voice(random() % 50, static_cast<int32_t>(random() % 8), static_cast<int32_t>(random() % 128));
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
        ASSERT_TRUE(make_shape_key(a, ka));
        ASSERT_TRUE(make_shape_key(b, kb));
        ASSERT_EQ(shape_keys_equal(ka, kb), voices_equal(a, b)) << "round " << round;
        if (shape_keys_equal(ka, kb)) {
            ++equal_pairs;
            EXPECT_EQ(hash_shape_key(ka), hash_shape_key(kb));
        }
    }
    EXPECT_GT(equal_pairs, 1000);
    EXPECT_LT(equal_pairs, 3000);
}

TEST(ShapeKey, OnlyComparedValuesMustFitInAByte) {
    VoiceRecord voice = sample_voice(3, 4);  // carriers: slots 2 and 3
    ShapeKey key;
    for (int32_t value : {-128, 127}) {
        voice.slot[0].MUL = value;
        EXPECT_TRUE(make_shape_key(voice, key)) << value;
        EXPECT_EQ(static_cast<int8_t>(key.bytes[0]), value);
    }
    for (int32_t value : {-129, 128, 255, 256, 1 << 30, INT32_MIN}) {
        voice.slot[0].MUL = value;
        EXPECT_FALSE(make_shape_key(voice, key)) << value;
    }
    voice.slot[0].MUL = 1;
    voice.slot[1].TL = 300;  // a modulator's level is compared
    EXPECT_FALSE(make_shape_key(voice, key));
    voice.slot[1].TL = 30;
    voice.slot[3].TL = 300;  // a carrier's is not
    EXPECT_TRUE(make_shape_key(voice, key));
    voice.group = 1 << 20;  // nor is bookkeeping
    voice.file_index = -5000;
    EXPECT_TRUE(make_shape_key(voice, key));
}

}  // namespace
}  // namespace timbrex
