#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "driver/program.h"
#include "run_binary.h"

#if !defined(TIMBREX_BINARY) || !defined(TIMBREX_BANK_BINARY)
#error "TIMBREX_BINARY and TIMBREX_BANK_BINARY must name the built executables"
#endif

namespace timbrex::testing {

namespace {

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return text;
}

constexpr uid_t kNobody = 65534;

// Narrows the affinity mask to its first `count` CPUs; false if it has fewer.
bool keep_first_cpus(int count) {
#if defined(__linux__) && !defined(__EMSCRIPTEN__)
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (::sched_getaffinity(0, sizeof mask, &mask) != 0) return false;
    cpu_set_t kept;
    CPU_ZERO(&kept);
    int found = 0;
    for (size_t cpu = 0; cpu < static_cast<size_t>(CPU_SETSIZE) && found < count; ++cpu) {
        if (!CPU_ISSET(cpu, &mask)) continue;
        CPU_SET(cpu, &kept);
        ++found;
    }
    return found == count && ::sched_setaffinity(0, sizeof kept, &kept) == 0;
#else
    (void)count;
    return false;
#endif
}

// In the child, before exec; false if a limit could not be put in place.
bool apply_limits(const RunLimits& limits) {
    if (limits.file_size >= 0) {
        // An ignored signal stays ignored across exec.
        if (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) return false;
        const rlim_t bytes = static_cast<rlim_t>(limits.file_size);
        const struct rlimit cap = {bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &cap) != 0) return false;
    }
    if (limits.address_space_kib > 0) {
        const rlim_t bytes = static_cast<rlim_t>(limits.address_space_kib) * 1024;
        const struct rlimit cap = {bytes, bytes};
        if (::setrlimit(RLIMIT_AS, &cap) != 0) return false;
    }
    if (limits.cpus > 0 && !keep_first_cpus(limits.cpus)) return false;
    if (limits.unprivileged && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return false;
    }
    return true;
}

// Runs `body` in a child process in `directory` under `limits`, its standard
// output and error captured; the child exits with what `body` returns.
RunResult run_child(const std::string& directory, const RunLimits& limits, const std::function<int()>& body) {
    // stderr goes to a file so that neither pipe can fill while the other is read.
    const std::string err_path = directory + "/.timbrex-stderr";
    int out_pipe[2];
    if (::pipe(out_pipe) != 0) throw std::runtime_error("pipe failed");
    // What the test has buffered must not be written twice, once by the child.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(out_pipe[1], 1);
        const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err_fd >= 0) ::dup2(err_fd, 2);
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        if (!apply_limits(limits)) ::_exit(125);
        if (::chdir(directory.c_str()) != 0) ::_exit(126);
        ::_exit(body());
    }
    ::close(out_pipe[1]);
    RunResult result;
    result.raw_out = drain(out_pipe[0]);
    result.out = result.raw_out;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    result.peak_rss_kib = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const int err_fd = ::open(err_path.c_str(), O_RDONLY);
    if (err_fd >= 0) result.err = drain(err_fd);
    ::unlink(err_path.c_str());
    return result;
}

// Runs `program` with `arguments` in a child process, as run_child does.
RunResult run_binary(const std::string& program, const std::string& directory,
                     const std::vector<std::string>& arguments, const RunLimits& limits) {
    return run_child(directory, limits, [&program, &arguments] {
        std::vector<char*> argv;
        std::string name = program;
        argv.push_back(name.data());
        std::vector<std::string> copies(arguments);
        for (std::string& argument : copies) argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(name.c_str(), argv.data());
        return 127;
    });
}

}  // namespace

RunResult run_timbrex(const std::string& directory, const std::vector<std::string>& arguments,
                      const RunLimits& limits) {
    return run_binary(TIMBREX_BINARY, directory, arguments, limits);
}

RunResult run_timbrex_bank(const std::string& directory, const std::vector<std::string>& arguments,
                           const RunLimits& limits) {
    return run_binary(TIMBREX_BANK_BINARY, directory, arguments, limits);
}

RunResult run_harvest_in_child(const std::string& directory, const std::vector<std::string>& arguments,
                               unsigned threads, const RunLimits& limits) {
    return run_child(directory, limits, [&arguments, threads] {
        run_harvest(arguments, threads);
        return 0;
    });
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "timbrex-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

}  // namespace timbrex::testing
