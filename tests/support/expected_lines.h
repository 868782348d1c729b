#pragma once
// The program's per-file and summary lines as the tests expect them.

#include <string>

namespace timbrex::testing {

inline std::string processing_line(const std::string& path, const std::string& version = "1.50") {
    return "OK: Processing '" + path + "' (VGM v" + version + ")\n";
}

inline std::string instruments_found_line(int count) {
    return "OK: " + std::to_string(count) + " instruments were found\n";
}

}  // namespace timbrex::testing
