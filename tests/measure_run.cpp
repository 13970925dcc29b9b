// SPDX-License-Identifier: MIT
// measure_run REPORT STACK_KIB ADDRESS_MIB PROGRAM [ARGUMENT...]
//
// Runs PROGRAM with its stack and address space limited (0: no limit) and writes "<exit status> <peak resident
// KiB>" to the file REPORT. The peak comes from wait4(): Linux counts the memory of the process before exec in
// it, so the tests run the tool through this small program, built without sanitizers, not their large process.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 5) return 125;
    const pid_t child = fork();
    if (child == 0) {
        const rlim_t stack = std::strtoull(argv[2], nullptr, 10) << 10;
        const rlim_t address = std::strtoull(argv[3], nullptr, 10) << 20;
        const rlimit stackLimit{stack, stack}, addressLimit{address, address};
        if ((stack != 0 && setrlimit(RLIMIT_STACK, &stackLimit) != 0) ||
            (address != 0 && setrlimit(RLIMIT_AS, &addressLimit) != 0)) {
            _exit(126);
        }
        execv(argv[4], argv + 4);
        _exit(127);
    }
    int wait = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &wait, 0, &usage) != child) return 125;
    std::FILE* report = std::fopen(argv[1], "w");
    if (report == nullptr) return 125;
    std::fprintf(report, "%d %ld\n", WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait), usage.ru_maxrss);
    return std::fclose(report) == 0 ? 0 : 125;
}
