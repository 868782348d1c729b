#include "output/bank_instrument.h"

namespace timbrex {

namespace {

bool is_continuation_byte(unsigned char c) { return (c & 0xC0) == 0x80; }

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string bank_name(const std::string& name, size_t max_bytes) {
    size_t length = name.size();
    if (length > max_bytes) {
        // Back up over the continuation bytes of a character cut in two, and its lead byte.
        length = max_bytes;
        while (length > 0 && is_continuation_byte(static_cast<unsigned char>(name[length]))) --length;
    }
    std::string cut = name.substr(0, length);
    for (char& c : cut) {
        if (is_control(static_cast<unsigned char>(c))) c = '_';
    }
    return cut;
}

}  // namespace timbrex
