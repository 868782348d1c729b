#include "output/opm_bank.h"

#include <algorithm>

namespace timbrex {

namespace {

constexpr const char* kEol = "\r\n";

// The comment lines the format's own editor puts at the top of a bank.
constexpr const char* kHeader[] = {
    "//MiOPMdrv sound bank Paramer Ver2002.04.22",
    "//LFO: LFRQ AMD PMD WF NFRQ",
    "//@:[Num] [Name]",
    "//CH: PAN FL CON AMS PMS SLOT NE",
    "//[OPname]: AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN",
};

// PAN 64 is what every writer puts; SLOT 120 has all four operators on.
constexpr unsigned kPan = 64;
constexpr unsigned kAllSlots = 120;

// The lines name the operators M1, C1, M2, C2; in register order those are slots 0, 2, 1, 3.
struct OperatorLine {
    const char* label;
    size_t slot;
};
constexpr OperatorLine kOperatorLines[] = {{"M1:", 0}, {"C1:", 2}, {"M2:", 1}, {"C2:", 3}};

void append_line(std::string& text, const std::string& line) {
    text += line;
    text += kEol;
}

std::string numbers(std::initializer_list<unsigned> values) {
    std::string line;
    for (const unsigned value : values) line += " " + std::to_string(value);
    return line;
}

// AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN; the YM2151 has no SSG-EG, so SSG is left out.
std::string operator_line(const OperatorLine& line, const FmOperator& op) {
    return line.label + numbers({field(op.AR, 5), field(op.DR, 5), field(op.SR, 5), field(op.RR, 4), field(op.SL, 4),
                                 field(op.TL, 7), field(op.RS, 2), field(op.MUL, 4), code_from_detune(op.DT), 0, 0});
}

void append_voice(std::string& text, size_t number, const BankInstrument& instrument) {
    std::string name = bank_name(instrument.name, kOpmNameBytes);
    if (name.empty()) name = std::to_string(number);
    const VoiceRecord& voice = instrument.voice;
    text += kEol;
    append_line(text, "@:" + std::to_string(number) + " " + name);
    append_line(text, "LFO:" + numbers({0, 0, 0, 0, 0}));
    append_line(text, "CH:" + numbers({kPan, field(voice.FB, 3), field(voice.ALG, 3), 0, 0, kAllSlots, 0}));
    for (const OperatorLine& line : kOperatorLines) append_line(text, operator_line(line, voice.slot[line.slot]));
}

}  // namespace

std::vector<std::string> opm_bank_texts(const std::vector<BankInstrument>& instruments) {
    std::vector<std::string> texts;
    size_t first = 0;
    do {
        const size_t end = std::min(instruments.size(), first + kOpmVoicesPerFile);
        std::string text;
        for (const char* line : kHeader) append_line(text, line);
        for (size_t i = first; i < end; ++i) append_voice(text, i - first, instruments[i]);
        texts.push_back(std::move(text));
        first = end;
    } while (first < instruments.size());
    return texts;
}

}  // namespace timbrex
