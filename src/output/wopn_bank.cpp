#include "output/wopn_bank.h"

#include <algorithm>
#include <cstring>

namespace timbrex {

namespace {

constexpr char kMagic[] = "WOPN2-B2NK";  // with its terminating zero: 11 bytes
constexpr size_t kHeaderBytes = 18;
constexpr size_t kBankRecordBytes = 34;
constexpr size_t kEntryBytes = 69;
constexpr size_t kNameField = 32;
constexpr uint16_t kVersion = 2;
constexpr uint16_t kPercussionBanks = 1;
// The player measures how long a voice sounds to pick channels; 0/0 marks an
// entry empty. 40000 ms is "sounds while the key is held".
constexpr uint16_t kKeyOnMilliseconds = 40000;
constexpr uint16_t kKeyOffMilliseconds = 1000;

using Bytes = std::vector<uint8_t>;

void put_be16(Bytes& out, size_t at, size_t value) {
    out[at] = static_cast<uint8_t>(value >> 8 & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// One operator as the chip's register images 0x30..0x90 of its slot:
//   0x30  -DDDMMMM  DT code, MUL     0x40  -TTTTTTT  TL
//   0x50  RR-AAAAA  RS, AR           0x60  A--DDDDD  AM (off), DR
//   0x70  ---SSSSS  SR               0x80  LLLLRRRR  SL, RR
//   0x90  ----EEEE  SSG-EG
void put_operator(Bytes& out, size_t at, const FmOperator& op) {
    out[at + 0] = static_cast<uint8_t>(code_from_detune(op.DT) << 4 | field(op.MUL, 4));
    out[at + 1] = static_cast<uint8_t>(field(op.TL, 7));
    out[at + 2] = static_cast<uint8_t>(field(op.RS, 2) << 6 | field(op.AR, 5));
    out[at + 3] = static_cast<uint8_t>(field(op.DR, 5));
    out[at + 4] = static_cast<uint8_t>(field(op.SR, 5));
    out[at + 5] = static_cast<uint8_t>(field(op.SL, 4) << 4 | field(op.RR, 4));
    out[at + 6] = static_cast<uint8_t>(field(op.SSG, 4));
}

// Name, note offset 0, percussion key 0, the 0xB0 image (FB, ALG), the 0xB4
// image without pan (no AMS, no PMS), the operators in slot order, the
// sounding times.
void put_entry(Bytes& out, size_t at, const BankInstrument& instrument) {
    const std::string name = bank_name(instrument.name, kWopnNameBytes);
    std::memcpy(out.data() + at, name.data(), name.size());
    const VoiceRecord& voice = instrument.voice;
    out[at + 35] = static_cast<uint8_t>(field(voice.FB, 3) << 3 | field(voice.ALG, 3));
    for (size_t s = 0; s < std::size(voice.slot); ++s) put_operator(out, at + 37 + 7 * s, voice.slot[s]);
    put_be16(out, at + 65, kKeyOnMilliseconds);
    put_be16(out, at + 67, kKeyOffMilliseconds);
}

}  // namespace

size_t wopn_melodic_banks(size_t count) {
    return std::max<size_t>(1, (count + kWopnProgramsPerBank - 1) / kWopnProgramsPerBank);
}

std::vector<uint8_t> wopn_bank_bytes(const std::vector<BankInstrument>& instruments) {
    if (instruments.size() > kWopnMaxInstruments) return {};
    const size_t melodic = wopn_melodic_banks(instruments.size());
    const size_t banks = melodic + kPercussionBanks;
    const size_t entries_at = kHeaderBytes + kBankRecordBytes * banks;
    // Empty bank names, empty entries and the percussion bank's record are all zeros.
    Bytes out(entries_at + kEntryBytes * kWopnProgramsPerBank * banks, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[11] = static_cast<uint8_t>(kVersion & 0xFF);  // the one little-endian field
    out[12] = static_cast<uint8_t>(kVersion >> 8);
    put_be16(out, 13, melodic);
    put_be16(out, 15, kPercussionBanks);
    // out[17]: LFO off, OPN2.
    for (size_t k = 0; k < melodic; ++k) {
        const size_t record = kHeaderBytes + kBankRecordBytes * k;
        out[record + kNameField] = static_cast<uint8_t>(k % 128);      // LSB
        out[record + kNameField + 1] = static_cast<uint8_t>(k / 128);  // MSB
    }
    for (size_t i = 0; i < instruments.size(); ++i) put_entry(out, entries_at + kEntryBytes * i, instruments[i]);
    return out;
}

}  // namespace timbrex
