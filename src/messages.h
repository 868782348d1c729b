#pragma once
// Every text the program prints, in one place. Each goes to standard output
// as one line; progress lines begin "OK: ", failures "ERR: ".

namespace timbrex::messages {

constexpr const char* kUsageTitle = "TIMBREX v1.1 by Quillon, 20.05.12\n";
constexpr const char* kUsageFiles = "USAGE: timbrex.exe filename.vgm [name2.vgm ..] to process one or few files\n";
constexpr const char* kUsageDirectory =
    "       timbrex.exe [path\\]* to process whole directory with all subdirectories\n";

constexpr const char* kInstrumentsFound = "OK: %i instruments were found\n";
constexpr const char* kProcessing = "OK: Processing '%s' (VGM v%i.%i)\n";

constexpr const char* kCantOpenFile = "ERR: Can't open file '%s'\n";
constexpr const char* kCantAllocFile = "ERR: Can't alloc memory for file '%s'\n";
constexpr const char* kNoVgmFound = "ERR: No VGM found in file '%s'\n";
constexpr const char* kCantSaveFile = "ERR: Can't save file '%s'\n";
constexpr const char* kCantOpenDirectory = "ERR: Can't open directory '%s'\n";
constexpr const char* kWalkFatal = "ERR: No files in directory or other fatal error\n";
constexpr const char* kOutOfMemory = "ERR: Out of memory\n";

}  // namespace timbrex::messages
