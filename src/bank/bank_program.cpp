#include "bank/bank_program.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "bank/bank_arguments.h"
#include "bank/bank_files.h"
#include "bank/bank_messages.h"
#include "bank/patch_inputs.h"
#include "output/wopn_bank.h"

#ifndef TIMBREX_VERSION
#error "TIMBREX_VERSION must give the project's version"
#endif

namespace timbrex {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

int usage_error(const char* message, const std::string& offending) {
    std::fprintf(stderr, message, offending.c_str());
    std::fputs(bank_messages::kTryHelp, stderr);
    return kUsageError;
}

void report(const PatchFailure& failure) {
    const char* message = failure.problem == PatchProblem::cant_open     ? bank_messages::kCantOpenPatch
                          : failure.problem == PatchProblem::not_a_patch ? bank_messages::kNotAPatch
                                                                         : bank_messages::kCantListFolder;
    std::fprintf(stderr, message, failure.path.c_str());
}

void report_written(const BankRequest& request, const BankPlan& plan, size_t instruments) {
    const std::string count = std::to_string(instruments);
    if (request.format == BankFormat::dmp) {
        std::printf(bank_messages::kWrotePresets, count.c_str(), request.out.c_str());
    } else if (plan.files.size() > 1) {
        const std::string more = std::to_string(plan.files.size() - 1);
        std::printf(bank_messages::kWroteBanks, count.c_str(), request.out.c_str(), more.c_str());
    } else {
        std::printf(bank_messages::kWroteBank, count.c_str(), request.out.c_str());
    }
}

// Reads every patch before anything is written, so that a bad one leaves no bank behind.
int write_bank(const BankRequest& request) {
    const PatchInputs inputs = read_patch_inputs(request.patches);
    for (const PatchFailure& failure : inputs.failures) report(failure);
    if (!inputs.failures.empty()) return kFailure;
    if (inputs.instruments.empty()) {
        std::fputs(bank_messages::kNoPatches, stderr);
        return kFailure;
    }
    const BankPlan plan = plan_bank(request.format, request.out, inputs.instruments);
    if (plan.too_many) {
        std::fprintf(stderr, bank_messages::kTooManyForWopn, std::to_string(inputs.instruments.size()).c_str(),
                     std::to_string(kWopnMaxInstruments).c_str());
        return kFailure;
    }
    const std::string failed = save_bank(plan);
    if (!failed.empty()) {
        std::fprintf(stderr, bank_messages::kCantWrite, failed.c_str());
        return kFailure;
    }
    report_written(request, plan, inputs.instruments.size());
    return kSuccess;
}

int run_request(const BankRequest& request) {
    switch (request.kind) {
        case BankRequestKind::help: std::fputs(bank_messages::kHelp, stdout); return kSuccess;
        case BankRequestKind::version: std::printf(bank_messages::kVersion, TIMBREX_VERSION); return kSuccess;
        case BankRequestKind::missing:
            std::fputs(bank_messages::kMissingArguments, stderr);
            std::fputs(bank_messages::kTryHelp, stderr);
            return kUsageError;
        case BankRequestKind::unknown_option: return usage_error(bank_messages::kUnknownOption, request.offending);
        case BankRequestKind::unknown_format: return usage_error(bank_messages::kUnknownFormat, request.offending);
        case BankRequestKind::write: break;
    }
    try {
        return write_bank(request);
    } catch (const std::bad_alloc&) {
        std::fputs(bank_messages::kOutOfMemory, stderr);
        return kFailure;
    }
}

}  // namespace

int run_bank_program(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = run_request(parse_bank_arguments(arguments));
    std::fflush(stdout);
    return status;
}

}  // namespace timbrex
