#include "bank_readers.h"

#include <cstring>
#include <sstream>

namespace timbrex::testing {

namespace {

// The chips' detune codes: bit 2 is the sign.
int detune_of_code(int code) {
    static const int kDetune[8] = {0, 1, 2, 3, 0, -1, -2, -3};
    return kDetune[code & 7];
}

struct Operator {
    int MUL, DT, TL, RS, AR, DR, SR, RR, SL, SSG;
};

Bytes patch_of(int alg, int fb, const Operator (&slots)[4]) {
    Bytes patch = {static_cast<uint8_t>(alg), static_cast<uint8_t>(fb)};
    for (const Operator& op : slots) {
        for (int value : {op.MUL, op.DT + 3, op.TL, op.RS, op.AR, op.DR, op.SR, op.RR, op.SL, op.SSG}) {
            patch.push_back(static_cast<uint8_t>(value));
        }
    }
    return patch;
}

int be16(const Bytes& file, size_t at) { return file[at] << 8 | file[at + 1]; }

}  // namespace

ReadBank read_wopn(const Bytes& file) {
    ReadBank bank;
    if (file.size() < 18 || std::memcmp(file.data(), "WOPN2-B2NK\0", 11) != 0) {
        bank.error = "no WOPN2-B2NK magic";
        return bank;
    }
    if (file[11] != 2 || file[12] != 0) bank.error = "version is not 2";
    bank.melodic_banks = be16(file, 13);
    bank.percussion_banks = be16(file, 15);
    const size_t banks = static_cast<size_t>(bank.melodic_banks + bank.percussion_banks);
    if (file.size() != 18 + 34 * banks + 69 * 128 * banks) {
        bank.error = "size " + std::to_string(file.size()) + " does not fit the bank counts";
        return bank;
    }
    const size_t entries = 18 + 34 * banks;
    for (size_t k = 0; k < static_cast<size_t>(bank.melodic_banks); ++k) {
        const size_t record = 18 + 34 * k;
        const int number = file[record + 33] * 128 + file[record + 32];
        for (size_t p = 0; p < 128; ++p) {
            const size_t at = entries + 69 * (128 * k + p);
            if (be16(file, at + 65) == 0 && be16(file, at + 67) == 0) continue;  // an empty entry
            ReadInstrument instrument;
            instrument.name = std::string(reinterpret_cast<const char*>(&file[at]),
                                          strnlen(reinterpret_cast<const char*>(&file[at]), 32));
            instrument.bank = number;
            instrument.program = static_cast<int>(p);
            if (file[at + 32] != 0 || file[at + 33] != 0 || file[at + 34] != 0 || file[at + 36] != 0)
                bank.error = "non-neutral note offset, key or LFO sensitivity in " + instrument.name;
            Operator slots[4];
            for (size_t s = 0; s < 4; ++s) {
                const uint8_t* r = &file[at + 37 + 7 * s];
                if ((r[3] & 0x80) != 0) bank.error = "AM on in " + instrument.name;
                slots[s] = {r[0] & 15,  detune_of_code(r[0] >> 4 & 7),
                            r[1] & 127, r[2] >> 6,
                            r[2] & 31,  r[3] & 31,
                            r[4] & 31,  r[5] & 15,
                            r[5] >> 4,  r[6] & 15};
            }
            instrument.patch = patch_of(file[at + 35] & 7, file[at + 35] >> 3 & 7, slots);
            bank.instruments.push_back(std::move(instrument));
        }
    }
    return bank;
}

ReadBank read_opm(const std::string& text) {
    ReadBank bank;
    std::istringstream lines(text);
    std::string line;
    ReadInstrument* voice = nullptr;
    int alg = 0;
    int fb = 0;
    Operator slots[4] = {};
    auto finish = [&]() {
        if (voice != nullptr) voice->patch = patch_of(alg, fb, slots);
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.rfind("//", 0) == 0) continue;
        if (line.rfind("@:", 0) == 0) {
            finish();
            const size_t blank = line.find(' ');
            bank.instruments.emplace_back();
            voice = &bank.instruments.back();
            voice->program = std::stoi(line.substr(2, blank - 2));
            voice->name = blank == std::string::npos ? "" : line.substr(blank + 1);
            continue;
        }
        if (voice == nullptr) {
            bank.error = "data before the first voice: " + line;
            continue;
        }
        // Columns are separated by single blanks, never tabs.
        const size_t colon = line.find(':');
        const std::string label = line.substr(0, colon + 1);
        std::vector<int> columns;
        std::istringstream numbers(line.substr(colon + 1));
        for (int value = 0; numbers >> value;) columns.push_back(value);
        if (line.find('\t') != std::string::npos || line.find("  ") != std::string::npos)
            bank.error = "not single blanks: " + line;
        if (label == "LFO:") {
            if (columns != std::vector<int>{0, 0, 0, 0, 0}) bank.error = "LFO not neutral";
        } else if (label == "CH:" && columns.size() == 7) {
            fb = columns[1];
            alg = columns[2];
            if (columns[0] != 64 || columns[3] != 0 || columns[4] != 0 || columns[5] != 120 || columns[6] != 0)
                bank.error = "CH line not as expected: " + line;
        } else if ((label == "M1:" || label == "C1:" || label == "M2:" || label == "C2:") && columns.size() == 11) {
            // M1, C1, M2, C2 are register slots 0, 2, 1, 3.
            const size_t slot = label == "M1:" ? 0 : label == "C1:" ? 2 : label == "M2:" ? 1 : 3;
            const std::vector<int>& c = columns;  // AR D1R D2R RR D1L TL KS MUL DT1 DT2 AMS-EN
            slots[slot] = {c[7], detune_of_code(c[8]), c[5], c[6], c[0], c[1], c[2], c[3], c[4], 0};
            if (c[9] != 0 || c[10] != 0) bank.error = "DT2 or AMS-EN set: " + line;
        } else {
            bank.error = "unknown line: " + line;
        }
    }
    finish();
    return bank;
}

ReadBank read_dmp(const Bytes& file, const std::string& name) {
    ReadBank bank;
    if (file.size() != 51 || file[0] != 11 || file[1] != 2 || file[2] != 1) {
        bank.error = "not a 51-byte version 11 Genesis FM preset";
        return bank;
    }
    if (file[3] != 0 || file[6] != 0) bank.error = "LFO sensitivity set";
    Operator slots[4];
    for (size_t s = 0; s < 4; ++s) {
        const uint8_t* o = &file[7 + 11 * s];  // MULT TL AR DR SL RR AM RS DT D2R SSGEG
        if (o[6] != 0) bank.error = "AM on";
        slots[s] = {o[0], o[8] - 3, o[1], o[7], o[2], o[3], o[9], o[5], o[4], o[10]};
    }
    ReadInstrument instrument;
    instrument.name = name;
    instrument.patch = patch_of(file[5], file[4], slots);
    bank.instruments.push_back(std::move(instrument));
    return bank;
}

}  // namespace timbrex::testing
