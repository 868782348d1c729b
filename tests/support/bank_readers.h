#pragma once
// Readers of the bank and preset formats, written for the tests from the
// formats' descriptions (not from the writers), so that a round trip through
// a writer and a reader proves what a tracker would load. Each gives back the
// 42 bytes a .vpf patch would hold for every instrument it finds.

#include <cstdint>
#include <string>
#include <vector>

namespace timbrex::testing {

using Bytes = std::vector<uint8_t>;

struct ReadInstrument {
    std::string name;
    Bytes patch;      // ALG, FB, then slots 0..3: MUL, DT+3, TL, RS, AR, DR, SR, RR, SL, SSG
    int bank = 0;     // WOPN: the melodic bank's MSB * 128 + LSB
    int program = 0;  // WOPN: the entry's place in its bank; OPM: the "@:" number
};

struct ReadBank {
    std::string error;  // empty when the file is well formed
    int melodic_banks = 0;
    int percussion_banks = 0;
    std::vector<ReadInstrument> instruments;  // non-empty entries, in file order
};

ReadBank read_wopn(const Bytes& file);
ReadBank read_opm(const std::string& text);
ReadBank read_dmp(const Bytes& file, const std::string& name);

}  // namespace timbrex::testing
