#include "bank/bank_arguments.h"

namespace timbrex {

namespace {

bool format_named(const std::string& name, BankFormat& format) {
    if (name == "wopn") {
        format = BankFormat::wopn;
    } else if (name == "opm") {
        format = BankFormat::opm;
    } else if (name == "dmp") {
        format = BankFormat::dmp;
    } else {
        return false;
    }
    return true;
}

}  // namespace

BankRequest parse_bank_arguments(const std::vector<std::string>& arguments) {
    BankRequest request;
    if (!arguments.empty() && arguments[0].rfind("--", 0) == 0) {
        request.kind = arguments[0] == "--help"      ? BankRequestKind::help
                       : arguments[0] == "--version" ? BankRequestKind::version
                                                     : BankRequestKind::unknown_option;
        request.offending = arguments[0];
        return request;
    }
    if (arguments.size() < 3) return request;
    if (!format_named(arguments[0], request.format)) {
        request.kind = BankRequestKind::unknown_format;
        request.offending = arguments[0];
        return request;
    }
    request.kind = BankRequestKind::write;
    request.out = arguments[1];
    request.patches.assign(arguments.begin() + 2, arguments.end());
    return request;
}

}  // namespace timbrex
