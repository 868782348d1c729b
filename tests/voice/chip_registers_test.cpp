#include <gtest/gtest.h>

#include <cstring>

#include "voice/opm_registers.h"
#include "voice/opn_registers.h"

namespace timbrex {
namespace {

// Every write is checked against a copy of the images in which only the named
// fields were changed: a write must leave every other field as it was.
class Decoding : public ::testing::Test {
   protected:
    Decoding() {
        // Non-zero background so that a stray write to the wrong field shows.
        for (int ch = 0; ch < kChannelCount; ++ch) {
            int32_t* values = reinterpret_cast<int32_t*>(&state.images.current[ch]);
            for (int i = 0; i < kVoiceValueCount; ++i) values[i] = 50 + ch * 3 + i;
        }
        expected = state.images;
    }

    void expect_images_match() const {
        for (int ch = 0; ch < kChannelCount; ++ch) {
            EXPECT_EQ(std::memcmp(&state.images.current[ch], &expected.current[ch], sizeof(VoiceRecord)), 0)
                << "channel " << ch;
        }
        EXPECT_EQ(std::memcmp(state.images.snapshot, expected.snapshot, sizeof expected.snapshot), 0);
    }

    FileCapture state;
    ChannelImages expected{};
};

struct Ym2612Case {
    int port;
    uint8_t reg;
    uint8_t value;
    int channel;
    int slot;  // -1 for channel fields
    std::vector<std::pair<int32_t FmOperator::*, int32_t>> fields;
    int32_t alg = -1;
    int32_t fb = -1;
};

TEST_F(Decoding, Ym2612OperatorAndChannelRegisters) {
    const std::vector<Ym2612Case> cases = {
        {1, 0x42, 0x85, 5, 0, {{&FmOperator::TL, 5}}},
        {0, 0x3D, 0x71, 1, 3, {{&FmOperator::DT, -3}, {&FmOperator::MUL, 1}}},
        {0, 0x30, 0x4F, 0, 0, {{&FmOperator::DT, 0}, {&FmOperator::MUL, 15}}},
        {1, 0x36, 0x2A, 5, 1, {{&FmOperator::DT, 2}, {&FmOperator::MUL, 10}}},
        {0, 0x58, 0xDF, 0, 2, {{&FmOperator::RS, 3}, {&FmOperator::AR, 31}}},
        {0, 0x64, 0x9C, 0, 1, {{&FmOperator::DR, 28}}},  // AM bit ignored
        {1, 0x7E, 0xFF, 5, 3, {{&FmOperator::SR, 31}}},
        {0, 0x81, 0x2A, 1, 0, {{&FmOperator::SL, 2}, {&FmOperator::RR, 10}}},
        {1, 0x98, 0xFB, 3, 2, {{&FmOperator::SSG, 11}}},
        {0, 0xB0, 0x32, 0, -1, {}, 2, 6},
        {1, 0xB2, 0xFF, 5, -1, {}, 7, 7},
    };
    for (const Ym2612Case& c : cases) {
        ym2612_write(state, c.port, c.reg, c.value);
        VoiceRecord& voice = expected.current[c.channel];
        for (const auto& [field, value] : c.fields) voice.slot[c.slot].*field = value;
        if (c.alg >= 0) voice.ALG = c.alg;
        if (c.fb >= 0) voice.FB = c.fb;
        SCOPED_TRACE(::testing::Message() << "port " << c.port << " register 0x" << std::hex << int(c.reg));
        expect_images_match();
    }
}

TEST_F(Decoding, Ym2612IgnoredRegistersChangeNothing) {
    for (int port = 0; port < 2; ++port) {
        for (int reg : {0x00, 0x22, 0x24, 0x27, 0x2A, 0x2F, 0x33, 0x37, 0x4B, 0x9F, 0xA0, 0xA6, 0xAF, 0xB3, 0xB4, 0xB5,
                        0xB6, 0xFF}) {
            ym2612_write(state, port, static_cast<uint8_t>(reg), 0xFF);
        }
    }
    // Port 1 has no key-on or DAC register.
    ym2612_write(state, 1, 0x2B, 0x80);
    EXPECT_FALSE(state.dac_mode);
    ym2612_write(state, 1, 0x28, 0xF0);
    EXPECT_TRUE(state.voices.records.empty());
    expect_images_match();
}

TEST_F(Decoding, Ym2612DacRegisterUsesBitSevenOfPortZero) {
    ym2612_write(state, 0, 0x2B, 0x80);
    EXPECT_TRUE(state.dac_mode);
    ym2612_write(state, 0, 0x2B, 0x7F);
    EXPECT_FALSE(state.dac_mode);
    expect_images_match();
}

TEST_F(Decoding, Ym2151Registers) {
    ym2151_write(state, 0x27, 0xC7);
    expected.current[7].ALG = 7;
    expected.current[7].FB = 0;
    ym2151_write(state, 0xF9, 0x2A);
    expected.current[1].slot[3].SL = 2;
    expected.current[1].slot[3].RR = 10;
    ym2151_write(state, 0x4A, 0x63);  // slot 1, channel 2
    expected.current[2].slot[1].DT = -2;
    expected.current[2].slot[1].MUL = 3;
    ym2151_write(state, 0x70, 0xFF);  // slot 2, channel 0
    expected.current[0].slot[2].TL = 127;
    ym2151_write(state, 0x9D, 0x45);  // slot 3, channel 5
    expected.current[5].slot[3].RS = 1;
    expected.current[5].slot[3].AR = 5;
    ym2151_write(state, 0xA6, 0x9F);  // slot 0, channel 6; AMS-EN ignored
    expected.current[6].slot[0].DR = 31;
    ym2151_write(state, 0xC4, 0xC3);  // slot 0, channel 4; DT2 ignored
    expected.current[4].slot[0].SR = 3;
    ym2151_write(state, 0x22, 0x3D);
    expected.current[2].ALG = 5;
    expected.current[2].FB = 7;
    expect_images_match();
}

TEST_F(Decoding, Ym2151IgnoredRegistersChangeNothing) {
    for (int reg : {0x00, 0x01, 0x0F, 0x14, 0x18, 0x19, 0x1B, 0x1F, 0x28, 0x2F, 0x30, 0x37, 0x38, 0x3F}) {
        ym2151_write(state, static_cast<uint8_t>(reg), 0xFF);
    }
    expect_images_match();
    EXPECT_FALSE(state.dac_mode);
}

TEST_F(Decoding, KeyOnRegistersReachTheCapture) {
    ym2612_write(state, 0, 0x28, 0xF4);  // channel index 3
    ym2151_write(state, 0x08, 0x7E);     // channel 6
    ASSERT_EQ(state.voices.records.size(), 2u);
    EXPECT_TRUE(same_voice_values(state.voices.records[0], expected.current[3]));
    EXPECT_TRUE(same_voice_values(state.voices.records[1], expected.current[6]));
}

}  // namespace
}  // namespace timbrex
