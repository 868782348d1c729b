#include "output/dmp_preset.h"

#include <algorithm>
#include <unordered_set>

namespace timbrex {

namespace {

constexpr uint8_t kVersion = 11;
constexpr uint8_t kSystemGenesis = 2;
constexpr uint8_t kModeFm = 1;
constexpr size_t kHeaderBytes = 7;
constexpr size_t kOperatorBytes = 11;

// The detune the format stores: -3..+3 as 0..6, 3 for none.
uint8_t stored_detune(int32_t detune) { return static_cast<uint8_t>(std::clamp(detune, -3, 3) + 3); }

// MULT TL AR DR SL RR AM RS DT D2R SSGEG
void put_operator(DmpPresetBytes& out, size_t at, const FmOperator& op) {
    out[at + 0] = static_cast<uint8_t>(field(op.MUL, 4));
    out[at + 1] = static_cast<uint8_t>(field(op.TL, 7));
    out[at + 2] = static_cast<uint8_t>(field(op.AR, 5));
    out[at + 3] = static_cast<uint8_t>(field(op.DR, 5));
    out[at + 4] = static_cast<uint8_t>(field(op.SL, 4));
    out[at + 5] = static_cast<uint8_t>(field(op.RR, 4));
    out[at + 6] = 0;  // AM off
    out[at + 7] = static_cast<uint8_t>(field(op.RS, 2));
    out[at + 8] = stored_detune(op.DT);
    out[at + 9] = static_cast<uint8_t>(field(op.SR, 5));
    out[at + 10] = static_cast<uint8_t>(field(op.SSG, 4));
}

std::string folded(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

}  // namespace

DmpPresetBytes dmp_preset_bytes(const VoiceRecord& voice) {
    DmpPresetBytes out{};
    out[0] = kVersion;
    out[1] = kSystemGenesis;
    out[2] = kModeFm;
    out[3] = 0;  // FMS (PMS)
    out[4] = static_cast<uint8_t>(field(voice.FB, 3));
    out[5] = static_cast<uint8_t>(field(voice.ALG, 3));
    out[6] = 0;  // AMS
    for (size_t s = 0; s < std::size(voice.slot); ++s)
        put_operator(out, kHeaderBytes + kOperatorBytes * s, voice.slot[s]);
    return out;
}

std::vector<std::string> dmp_file_names(const std::vector<BankInstrument>& instruments) {
    std::vector<std::string> names;
    std::unordered_set<std::string> taken;
    for (const BankInstrument& instrument : instruments) {
        std::string name = instrument.name + ".dmp";
        for (int n = 2; !taken.insert(folded(name)).second; ++n)
            name = instrument.name + "_" + std::to_string(n) + ".dmp";
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace timbrex
