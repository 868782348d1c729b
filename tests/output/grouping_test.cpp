#include "output/grouping.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "output/shape_key.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::sample_voice;

// The grouping and selection written out as plainly as they are defined:
// compare every group's first member with every record.
int32_t reference_group(std::vector<VoiceRecord>& records) {
    for (VoiceRecord& r : records) r.group = -1;
    int32_t g = 0;
    for (size_t b = 0; b < records.size(); ++b) {
        if (records[b].group != -1) continue;
        records[b].group = g++;
        for (size_t k = 0; k < records.size(); ++k) {
            if (k != b && voices_equal(records[b], records[k])) records[k].group = records[b].group;
        }
    }
    return g;
}

void reference_select(std::vector<VoiceRecord>& records, int32_t groups) {
    for (int32_t g = 0; g < groups; ++g) {
        int64_t best = -1;
        int32_t best_loudness = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].group == g && loudness(records[i]) > best_loudness) {
                best = static_cast<int64_t>(i);
                best_loudness = loudness(records[i]);
            }
        }
        if (best < 0) continue;
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].group == g && static_cast<int64_t>(i) != best) records[i].group = -1;
        }
    }
}

VoiceRecord at_level(VoiceRecord voice, int32_t carrier_tl) {
    const unsigned carriers = carrier_mask(voice.ALG);
    for (int k = 0; k < kSlotCount; ++k) {
        if (carriers & (1u << k)) voice.slot[k].TL = carrier_tl;
    }
    return voice;
}

std::vector<int32_t> groups_of(const std::vector<VoiceRecord>& records) {
    std::vector<int32_t> groups;
    for (const VoiceRecord& r : records) groups.push_back(r.group);
    return groups;
}

TEST(Grouping, EmptyListHasNoGroups) {
    std::vector<VoiceRecord> none;
    EXPECT_EQ(group_voices(none), 0);
    select_loudest(none, 0);
}

TEST(Grouping, LouderCarrierWinsItsGroup) {
    const VoiceRecord a = at_level(sample_voice(1, 4), 40);
    const VoiceRecord b = at_level(a, 10);  // A's voice, louder
    VoiceRecord c = a;
    c.slot[0].TL += 1;  // a modulator differs
    std::vector<VoiceRecord> records = {a, b, c};
    const int32_t groups = group_voices(records);
    EXPECT_EQ(groups, 2);
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{0, 0, 1}));
    select_loudest(records, groups);
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{-1, 0, 1}));
}

TEST(Grouping, EqualLoudnessKeepsTheEarlier) {
    const VoiceRecord first = at_level(sample_voice(2, 7), 20);
    VoiceRecord second = first;
    // Same total loudness, spread differently over the carriers.
    second.slot[0].TL = 10;
    second.slot[1].TL = 30;
    ASSERT_EQ(loudness(first), loudness(second));
    std::vector<VoiceRecord> records = {first, second};
    select_loudest(records, group_voices(records));
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{0, -1}));
}

TEST(Grouping, GroupOfLoudnessZeroKeepsItsLoneMember) {
    const VoiceRecord quiet = at_level(sample_voice(3, 0), 127);  // modulators still sound
    ASSERT_EQ(loudness(quiet), 0);
    std::vector<VoiceRecord> records = {sample_voice(4, 2), quiet};
    select_loudest(records, group_voices(records));
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{0, 1}));

    // With a louder equal voice, that one is kept instead.
    records = {quiet, at_level(quiet, 100)};
    select_loudest(records, group_voices(records));
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{-1, 0}));
}

TEST(Grouping, NumbersFollowFirstOccurrence) {
    const VoiceRecord x = sample_voice(5, 5);
    const VoiceRecord y = sample_voice(6, 6);
    const VoiceRecord z = sample_voice(7, 1);
    std::vector<VoiceRecord> records = {y, x, at_level(y, 3), z, at_level(x, 9)};
    EXPECT_EQ(group_voices(records), 3);
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{0, 1, 0, 2, 1}));
}

// The hashed version against the plain one on random lists full of equal and
// nearly equal voices. Levels of 127 make groups of loudness 0; lists run
// past the batch and read-ahead sizes.
TEST(Grouping, ShapesWhoseHashesShareTheirLowBitsAreTwoGroups) {
    // Found by search: the low 32 bits of their shape hashes, which pick the
    // slot and are the tag the index keeps, are the same.
    const VoiceRecord a = sample_voice(7386, 7386 % 8);
    const VoiceRecord b = sample_voice(30354, 30354 % 8);
    ShapeKey key_a;
    ShapeKey key_b;
    make_shape_key(a, key_a);
    make_shape_key(b, key_b);
    ASSERT_EQ(static_cast<uint32_t>(hash_shape_key(key_a)), static_cast<uint32_t>(hash_shape_key(key_b)))
        << "the shape hash changed: find another pair";
    ASSERT_FALSE(voices_equal(a, b));
    std::vector<VoiceRecord> records = {a, b, a};
    EXPECT_EQ(group_voices(records), 2);
    EXPECT_EQ(groups_of(records), (std::vector<int32_t>{0, 1, 0}));
}

TEST(Grouping, MatchesTheDirectAlgorithm) {
    std::mt19937 random(77u);
    for (int round = 0; round < 300; ++round) {
        std::vector<VoiceRecord> bases;
        for (int i = 0; i < 6; ++i)
            bases.push_back(sample_voice(static_cast<uint32_t>(random()), static_cast<int32_t>(random() % 8)));
        std::vector<VoiceRecord> records;
        const size_t n = random() % 200;
        for (size_t i = 0; i < n; ++i) {
            VoiceRecord v = bases[random() % bases.size()];
            for (FmOperator& op : v.slot) {
                if (random() % 3 == 0) op.TL = static_cast<int32_t>(random() % 5) * 42;  // 0..126, often equal
                if (op.TL == 168) op.TL = 127;
                if (random() % 40 == 0) op.AR ^= 1;
            }
            if (random() % 8 == 0) v = at_level(v, 127);
            if (random() % 50 == 0) v.FB = (v.FB + 1) & 7;
            v.file_index = static_cast<int32_t>(i);
            records.push_back(v);
        }
        std::vector<VoiceRecord> expected = records;
        const int32_t expected_groups = reference_group(expected);
        reference_select(expected, expected_groups);
        const int32_t groups = group_voices(records);
        select_loudest(records, groups);
        ASSERT_EQ(groups, expected_groups) << "round " << round;
        ASSERT_EQ(groups_of(records), groups_of(expected)) << "round " << round;
    }
}

// Tens of thousands of groups, beyond what the small lists above reach, so
// that the index and the groups' keys grow many times over. Checked against
// grouping by an ordered map of the compared values and a selection in two
// plain passes.
TEST(Grouping, LargeListMatchesAMapOfShapes) {
    std::mt19937 random(5u);
    std::vector<VoiceRecord> records;
    for (int i = 0; i < 120000; ++i) {
        VoiceRecord v = sample_voice(static_cast<uint32_t>(random() % 60000), static_cast<int32_t>(random() % 8));
        records.push_back(at_level(v, static_cast<int32_t>(random() % 128)));
    }
    std::map<std::vector<int32_t>, int32_t> shapes;
    std::vector<int32_t> expected;
    for (const VoiceRecord& r : records) {
        std::vector<int32_t> shape = {r.ALG, r.FB};
        for (int k = 0; k < kSlotCount; ++k) {
            const FmOperator& op = r.slot[k];
            const bool carrier = carrier_mask(r.ALG) & (1u << k);
            shape.insert(shape.end(),
                         {op.MUL, op.DT, carrier ? 0 : op.TL, op.RS, op.AR, op.DR, op.SR, op.RR, op.SL, op.SSG});
        }
        expected.push_back(shapes.emplace(shape, static_cast<int32_t>(shapes.size())).first->second);
    }
    std::vector<int64_t> best(shapes.size(), -1);
    std::vector<int32_t> best_loudness(shapes.size(), 0);
    for (size_t i = 0; i < records.size(); ++i) {
        const auto g = static_cast<size_t>(expected[i]);
        if (loudness(records[i]) > best_loudness[g]) {
            best_loudness[g] = loudness(records[i]);
            best[g] = static_cast<int64_t>(i);
        }
    }
    ASSERT_GT(shapes.size(), 50000u);

    const int32_t groups = group_voices(records);
    ASSERT_EQ(static_cast<size_t>(groups), shapes.size());
    ASSERT_EQ(groups_of(records), expected);
    select_loudest(records, groups);
    for (size_t i = 0; i < records.size(); ++i) {
        const int64_t kept = best[static_cast<size_t>(expected[i])];
        const int32_t want = kept >= 0 && kept != static_cast<int64_t>(i) ? -1 : expected[i];
        ASSERT_EQ(records[i].group, want) << "record " << i;
    }
}

}  // namespace
}  // namespace timbrex
