#include <gtest/gtest.h>

#include "bank_readers.h"
#include "output/dmp_preset.h"
#include "output/opm_bank.h"
#include "output/voice_file.h"
#include "output/wopn_bank.h"
#include "vgm_writer.h"

namespace timbrex {
namespace {

using testing::Bytes;

// The worked example of the formats' description: "Title_Theme_12".
BankInstrument worked_example() {
    BankInstrument instrument;
    instrument.name = "Title_Theme_12";
    VoiceRecord& voice = instrument.voice;
    voice = VoiceRecord{};
    voice.ALG = 4;
    voice.FB = 5;
    voice.slot[0] = {1, -3, 35, 1, 31, 12, 3, 7, 2, 0};
    voice.slot[1] = {3, 2, 48, 0, 28, 9, 2, 5, 4, 9};
    voice.slot[2] = {2, 0, 12, 2, 30, 14, 5, 8, 1, 0};
    voice.slot[3] = {4, -1, 6, 3, 25, 6, 1, 10, 3, 0};
    return instrument;
}

Bytes patch_of(const VoiceRecord& voice) {
    const VoiceFileBytes bytes = voice_file_bytes(voice);
    return Bytes(bytes.begin(), bytes.end());
}

// Voices of every algorithm with every value in range, SSG-EG modes among them.
std::vector<BankInstrument> varied_instruments(size_t count) {
    std::vector<BankInstrument> instruments;
    for (size_t i = 0; i < count; ++i) {
        BankInstrument instrument;
        instrument.name = "voice_" + std::to_string(i);
        instrument.voice =
            testing::sample_voice(static_cast<uint32_t>(i), static_cast<int32_t>(i % 8), static_cast<int32_t>(i % 128));
        instrument.voice.slot[i % 4].SSG = static_cast<int32_t>(8 + i % 8);
        instruments.push_back(std::move(instrument));
    }
    return instruments;
}

TEST(WopnBank, WorkedExampleGoldenBytes) {
    const Bytes file = wopn_bank_bytes({worked_example()});
    ASSERT_EQ(file.size(), 17750u);
    const Bytes header = {0x57, 0x4F, 0x50, 0x4E, 0x32, 0x2D, 0x42, 0x32, 0x4E,
                          0x4B, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), header);
    EXPECT_EQ(Bytes(file.begin() + 18, file.begin() + 86), Bytes(68, 0)) << "two bank records, unnamed, bank 0";
    const Bytes entry = {
        0x54, 0x69, 0x74, 0x6C, 0x65, 0x5F, 0x54, 0x68, 0x65, 0x6D, 0x65, 0x5F, 0x31, 0x32, 0, 0,  // name
        0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0, 0,  //
        0x00, 0x00, 0x00, 0x2C, 0x00,              // note offset, key, FB/ALG, LFO
        0x71, 0x23, 0x5F, 0x0C, 0x03, 0x27, 0x00,  // slot 0
        0x23, 0x30, 0x1C, 0x09, 0x02, 0x45, 0x09,  // slot 1
        0x02, 0x0C, 0x9E, 0x0E, 0x05, 0x18, 0x00,  // slot 2
        0x54, 0x06, 0xD9, 0x06, 0x01, 0x3A, 0x00,  // slot 3
        0x9C, 0x40, 0x03, 0xE8,                    // 40000, 1000 ms
    };
    EXPECT_EQ(Bytes(file.begin() + 86, file.begin() + 86 + 69), entry);
    EXPECT_EQ(Bytes(file.begin() + 86 + 69, file.end()), Bytes(17750 - 86 - 69, 0)) << "127 + 128 empty entries";
}

TEST(WopnBank, BanksOf128WithDistinctNumbers) {
    struct Row {
        size_t instruments;
        int melodic_banks;
    };
    for (const Row row : {Row{0, 1}, Row{1, 1}, Row{128, 1}, Row{129, 2}, Row{1380, 11}, Row{16385, 129}}) {
        SCOPED_TRACE(row.instruments);
        const std::vector<BankInstrument> instruments = varied_instruments(row.instruments);
        const Bytes file = wopn_bank_bytes(instruments);
        const testing::ReadBank bank = testing::read_wopn(file);
        ASSERT_EQ(bank.error, "");
        EXPECT_EQ(bank.melodic_banks, row.melodic_banks);
        EXPECT_EQ(bank.percussion_banks, 1);
        EXPECT_EQ(wopn_melodic_banks(row.instruments), static_cast<size_t>(row.melodic_banks));
        ASSERT_EQ(bank.instruments.size(), row.instruments);
        for (size_t i = 0; i < row.instruments; ++i) {
            ASSERT_EQ(bank.instruments[i].bank, static_cast<int>(i / 128)) << i;
            ASSERT_EQ(bank.instruments[i].program, static_cast<int>(i % 128)) << i;
            ASSERT_EQ(bank.instruments[i].name, instruments[i].name);
            ASSERT_EQ(bank.instruments[i].patch, patch_of(instruments[i].voice)) << instruments[i].name;
        }
    }
}

TEST(WopnBank, RefusesMoreInstrumentsThanEditorsCount) {
    EXPECT_TRUE(wopn_bank_bytes(varied_instruments(kWopnMaxInstruments + 1)).empty());
    EXPECT_EQ(testing::read_wopn(wopn_bank_bytes(varied_instruments(kWopnMaxInstruments))).melodic_banks, 511);
}

TEST(OpmBank, WorkedExampleGoldenText) {
    const std::vector<std::string> texts = opm_bank_texts({worked_example()});
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              "//MiOPMdrv sound bank Paramer Ver2002.04.22\r\n"
              "//LFO: LFRQ AMD PMD WF NFRQ\r\n"
              "//@:[Num] [Name]\r\n"
              "//CH: PAN FL CON AMS PMS SLOT NE\r\n"
              "//[OPname]: AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN\r\n"
              "\r\n"
              "@:0 Title_Theme_12\r\n"
              "LFO: 0 0 0 0 0\r\n"
              "CH: 64 5 4 0 0 120 0\r\n"
              "M1: 31 12 3 7 2 35 1 1 7 0 0\r\n"
              "C1: 30 14 5 8 1 12 2 2 0 0 0\r\n"
              "M2: 28 9 2 5 4 48 0 3 2 0 0\r\n"
              "C2: 25 6 1 10 3 6 3 4 5 0 0\r\n");
}

TEST(OpmBank, OneHundredTwentyEightVoicesAFileNumberedFromZero) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{128}, size_t{129}, size_t{300}}) {
        SCOPED_TRACE(count);
        const std::vector<BankInstrument> instruments = varied_instruments(count);
        const std::vector<std::string> texts = opm_bank_texts(instruments);
        ASSERT_EQ(texts.size(), count == 0 ? 1 : (count + 127) / 128);
        size_t i = 0;
        for (const std::string& text : texts) {
            const testing::ReadBank bank = testing::read_opm(text);
            ASSERT_EQ(bank.error, "");
            for (size_t n = 0; n < bank.instruments.size(); ++n, ++i) {
                ASSERT_EQ(bank.instruments[n].program, static_cast<int>(n));
                ASSERT_EQ(bank.instruments[n].name, instruments[i].name);
                // The YM2151 has no SSG-EG: everything else comes back.
                VoiceRecord without_ssg = instruments[i].voice;
                for (FmOperator& op : without_ssg.slot) op.SSG = 0;
                ASSERT_EQ(bank.instruments[n].patch, patch_of(without_ssg)) << instruments[i].name;
            }
        }
        EXPECT_EQ(i, count);
    }
}

TEST(DmpPreset, WorkedExampleGoldenBytes) {
    const DmpPresetBytes expected = {
        0x0B, 0x02, 0x01, 0x00, 0x05, 0x04, 0x00,                          // version, Genesis, FM, FMS, FB, ALG, AMS
        0x01, 0x23, 0x1F, 0x0C, 0x02, 0x07, 0x00, 0x01, 0x00, 0x03, 0x00,  // slot 0
        0x03, 0x30, 0x1C, 0x09, 0x04, 0x05, 0x00, 0x00, 0x05, 0x02, 0x09,  // slot 1
        0x02, 0x0C, 0x1E, 0x0E, 0x01, 0x08, 0x00, 0x02, 0x03, 0x05, 0x00,  // slot 2
        0x04, 0x06, 0x19, 0x06, 0x03, 0x0A, 0x00, 0x03, 0x02, 0x01, 0x00,  // slot 3
    };
    EXPECT_EQ(dmp_preset_bytes(worked_example().voice), expected);
}

TEST(DmpPreset, EveryVoiceComesBackWhole) {
    for (const BankInstrument& instrument : varied_instruments(200)) {
        const DmpPresetBytes bytes = dmp_preset_bytes(instrument.voice);
        const testing::ReadBank preset = testing::read_dmp(Bytes(bytes.begin(), bytes.end()), instrument.name);
        ASSERT_EQ(preset.error, "");
        ASSERT_EQ(preset.instruments.at(0).patch, patch_of(instrument.voice)) << instrument.name;
    }
}

TEST(DmpPreset, FileNamesNeverTakeOneAnother) {
    std::vector<BankInstrument> instruments(6, worked_example());
    const char* names[] = {"a", "A", "a", "a_2", "b", "Title"};
    for (size_t i = 0; i < instruments.size(); ++i) instruments[i].name = names[i];
    EXPECT_EQ(dmp_file_names(instruments),
              (std::vector<std::string>{"a.dmp", "A_2.dmp", "a_3.dmp", "a_2_2.dmp", "b.dmp", "Title.dmp"}));
}

// Names are cut to a format's 31 bytes without splitting a character, and no
// name can end a line or a field early.
TEST(BankNames, CutToTheLimitAndMadeSafe) {
    struct Row {
        std::string name;
        std::string want;
    };
    const std::string e_acute = "\xC3\xA9";
    const Row rows[] = {
        {"Title_Theme_12", "Title_Theme_12"},
        {std::string(31, 'x'), std::string(31, 'x')},
        {std::string(40, 'x'), std::string(31, 'x')},
        {std::string(30, 'x') + e_acute, std::string(30, 'x')},
        {std::string(29, 'x') + e_acute + "y", std::string(29, 'x') + e_acute},
        {"two\nlines\r\tand\x7F", "two_lines__and_"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(bank_name(row.name, 31), row.want);
        BankInstrument instrument = worked_example();
        instrument.name = row.name;
        EXPECT_EQ(testing::read_wopn(wopn_bank_bytes({instrument})).instruments.at(0).name, row.want);
        EXPECT_EQ(testing::read_opm(opm_bank_texts({instrument})[0]).instruments.at(0).name, row.want);
    }
    BankInstrument nameless = worked_example();
    nameless.name = "";
    EXPECT_EQ(testing::read_opm(opm_bank_texts({worked_example(), nameless})[0]).instruments.at(1).name, "1")
        << "an OPM voice needs a name: its number stands in";
}

// A patch from elsewhere may hold any byte: each format gets the field's
// register bits, and no value spills into a neighbouring field.
TEST(BankFormats, ValuesBeyondTheirRangeStayInTheirField) {
    BankInstrument wild = worked_example();
    wild.voice.ALG = 0xFF;
    wild.voice.FB = 0x0F;
    for (FmOperator& op : wild.voice.slot) op = {0xF1, 200, 0xFF, 0xFE, 0xE3, 0xE1, 0xE2, 0xF4, 0xF5, 0xF9};
    const Bytes wopn = wopn_bank_bytes({wild});
    EXPECT_EQ(wopn[86 + 35], 0x3F);
    EXPECT_EQ(Bytes(wopn.begin() + 86 + 37, wopn.begin() + 86 + 44), (Bytes{0x31, 0x7F, 0x83, 0x01, 0x02, 0x54, 0x09}));
    const DmpPresetBytes dmp = dmp_preset_bytes(wild.voice);
    EXPECT_EQ(dmp[4], 7);
    EXPECT_EQ(dmp[5], 7);
    EXPECT_EQ(Bytes(dmp.begin() + 7, dmp.begin() + 18), (Bytes{1, 0x7F, 3, 1, 5, 4, 0, 2, 6, 2, 9}));
    EXPECT_NE(opm_bank_texts({wild})[0].find("M1: 3 1 2 4 5 127 2 1 3 0 0\r\n"), std::string::npos);
}

}  // namespace
}  // namespace timbrex
