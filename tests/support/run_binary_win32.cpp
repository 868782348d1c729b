#include "run_binary.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// psapi.h needs the types windows.h declares.
#include <psapi.h>

#include <random>
#include <stdexcept>
#include <thread>

#include "host.h"

#if !defined(TIMBREX_BINARY) || !defined(TIMBREX_BANK_BINARY)
#error "TIMBREX_BINARY and TIMBREX_BANK_BINARY must name the built executables"
#endif

namespace timbrex::testing {

namespace {

// Quoted so that the C runtime's command-line splitting gives the argument
// back byte for byte: backslashes are literal except before a quote, where
// each pair stands for one backslash.
std::string quote_argument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

// The write end is inherited by the child, the read end stays here.
Pipe inheritable_pipe() {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Pipe pipe;
    if (!CreatePipe(&pipe.read, &pipe.write, &security, 0)) throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(pipe.read, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

std::string drain(HANDLE handle) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(handle);
    return text;
}

std::string without_carriage_returns(const std::string& text) {
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lines += text[i];
    }
    return lines;
}

// Exit codes from 0xC0000000 on are NTSTATUS values of an exception that
// ended the process (an access violation is 0xC0000005).
constexpr DWORD kFirstExceptionCode = 0xC0000000u;

RunResult run_binary(const std::string& program, const std::string& directory,
                     const std::vector<std::string>& arguments) {
    std::string command_line = quote_argument(program);
    for (const std::string& argument : arguments) command_line += " " + quote_argument(argument);

    Pipe out = inheritable_pipe();
    Pipe err = inheritable_pipe();
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input =
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        directory.c_str(), &startup, &process);
    CloseHandle(out.write);
    CloseHandle(err.write);
    CloseHandle(input);
    if (!started) {
        CloseHandle(out.read);
        CloseHandle(err.read);
        throw std::runtime_error("CreateProcessA failed for " + program);
    }
    CloseHandle(process.hThread);

    RunResult result;
    // Both pipes are drained at once, so that neither can fill and stall the child.
    std::thread err_reader([&] { result.err = drain(err.read); });
    std::thread out_reader([&] { result.raw_out = drain(out.read); });
    // Windows keeps the peak of an ended process, wine does not: sample it
    // while the child runs, and once more at the end.
    PROCESS_MEMORY_COUNTERS memory{};
    SIZE_T peak = 0;
    for (;;) {
        const bool ended = WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0;
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) && memory.PeakWorkingSetSize > peak)
            peak = memory.PeakWorkingSetSize;
        if (ended) break;
    }
    out_reader.join();
    err_reader.join();
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    result.status = code >= kFirstExceptionCode ? -1 : static_cast<int>(code);
    result.peak_rss_kib = static_cast<long>(peak / 1024);
    result.out = without_carriage_returns(result.raw_out);
    result.err = without_carriage_returns(result.err);
    return result;
}

}  // namespace

// The limits are POSIX resource limits and users; the tests that need them
// skip themselves on Windows.
RunResult run_timbrex(const std::string& directory, const std::vector<std::string>& arguments,
                      const RunLimits& /*limits*/) {
    return run_binary(TIMBREX_BINARY, directory, arguments);
}

RunResult run_timbrex_bank(const std::string& directory, const std::vector<std::string>& arguments,
                           const RunLimits& /*limits*/) {
    return run_binary(TIMBREX_BANK_BINARY, directory, arguments);
}

TempDir::TempDir() {
    // The long form of the temporary directory, so that paths compare equal
    // to those the child reports.
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPathA failed");
    const std::string parent = real_path(base);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = parent + "\\timbrex-test-" + std::to_string(random());
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot create a temporary directory under " + parent);
}

// Windows has no fork: the tests that need a child of their own skip there.
RunResult run_harvest_in_child(const std::string& /*directory*/, const std::vector<std::string>& /*arguments*/,
                               unsigned /*threads*/, const RunLimits& /*limits*/) {
    RunResult result;
    result.err = "no fork on Windows";
    return result;
}

}  // namespace timbrex::testing
