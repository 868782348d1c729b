#pragma once
// How fuzz_pipeline reads one input as several log files: the pieces between
// separators, in order. An input without a separator is a single file, so every
// other corpus file is a valid pipeline input too.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace timbrex::fuzz {

constexpr std::string_view kLogSeparator = "<<timbrex:next log>>";
constexpr size_t kMostPieces = 8;  // the rest of the input stays in the last piece

struct Piece {
    const uint8_t* data;
    size_t size;
};

inline std::vector<Piece> split_pieces(const uint8_t* data, size_t size) {
    std::vector<Piece> pieces;
    size_t begin = 0;
    while (pieces.size() + 1 < kMostPieces) {
        // memmem lets libFuzzer learn the separator from the comparison.
        const void* found = size - begin >= kLogSeparator.size()
                                ? memmem(data + begin, size - begin, kLogSeparator.data(), kLogSeparator.size())
                                : nullptr;
        if (found == nullptr) break;
        const auto at = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        pieces.push_back({data + begin, at - begin});
        begin = at + kLogSeparator.size();
    }
    pieces.push_back({data + begin, size - begin});
    return pieces;
}

}  // namespace timbrex::fuzz
