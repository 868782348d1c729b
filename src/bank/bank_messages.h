#pragma once
// Every text timbrex-bank prints, in one place. Failures go to standard
// error, each one line beginning with the program's name; the help, the
// version and the closing summary go to standard output.

namespace timbrex::bank_messages {

constexpr const char* kHelp =
    "Usage: timbrex-bank FORMAT OUT PATCH...\n"
    "Writes .vpf voice patches into one bank that trackers and bank editors load.\n"
    "Each PATCH is a .vpf file or a folder, whose .vpf files are taken in byte\n"
    "order of their names. Instruments are named after their files.\n"
    "\n"
    "FORMAT is one of\n"
    "  wopn  OUT is a WOPN bank file: every instrument, in melodic banks of 128\n"
    "  opm   OUT is an OPM text bank of up to 128 voices; the next 128 go to OUT\n"
    "        with -2 before its suffix, then -3, and so on\n"
    "  dmp   OUT is a folder, made if missing: one DMP preset per instrument\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";
constexpr const char* kVersion = "timbrex-bank %s\n";
constexpr const char* kTryHelp = "Try 'timbrex-bank --help'.\n";

constexpr const char* kMissingArguments = "timbrex-bank: a FORMAT, an OUT and at least one PATCH are needed\n";
constexpr const char* kUnknownOption = "timbrex-bank: unknown option '%s'\n";
constexpr const char* kUnknownFormat = "timbrex-bank: unknown format '%s' (wopn, opm or dmp)\n";

constexpr const char* kCantOpenPatch = "timbrex-bank: can't open '%s'\n";
constexpr const char* kNotAPatch = "timbrex-bank: '%s' is not a voice patch: it is not exactly 42 bytes long\n";
constexpr const char* kCantListFolder = "timbrex-bank: can't list folder '%s'\n";
constexpr const char* kNoPatches = "timbrex-bank: no .vpf voice patch among the files and folders given\n";
constexpr const char* kTooManyForWopn = "timbrex-bank: %s instruments are more than one WOPN file holds (%s)\n";
constexpr const char* kOutOfMemory = "timbrex-bank: out of memory; nothing was written\n";
constexpr const char* kCantWrite = "timbrex-bank: can't write '%s'; nothing was written\n";

constexpr const char* kWroteBank = "timbrex-bank: %s instruments written to '%s'\n";
constexpr const char* kWroteBanks = "timbrex-bank: %s instruments written to '%s' and %s more OPM files beside it\n";
constexpr const char* kWrotePresets = "timbrex-bank: %s presets written into '%s'\n";

}  // namespace timbrex::bank_messages
