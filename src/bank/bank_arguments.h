#pragma once
// The command line of timbrex-bank: FORMAT OUT PATCH..., or --help, or --version.

#include <string>
#include <vector>

namespace timbrex {

enum class BankFormat { wopn, opm, dmp };

enum class BankRequestKind {
    write,           // write a bank
    help,            // --help
    version,         // --version
    missing,         // fewer than three arguments
    unknown_option,  // a first argument beginning "--" that is no option
    unknown_format,  // FORMAT is none of wopn, opm, dmp
};

struct BankRequest {
    BankRequestKind kind = BankRequestKind::missing;
    BankFormat format = BankFormat::wopn;
    std::string out;                   // OUT
    std::vector<std::string> patches;  // the PATCH arguments, files and folders
    std::string offending;             // the option or format refused
};

// `arguments` is argv without the program's name.
BankRequest parse_bank_arguments(const std::vector<std::string>& arguments);

}  // namespace timbrex
