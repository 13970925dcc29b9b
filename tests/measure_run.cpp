// SPDX-License-Identifier: MIT
// measure_run REPORT STACK_KIB ADDRESS_MIB PROGRAM [ARGUMENT...]
//
// Runs PROGRAM with its stack and address space limited (0: no limit) and
// writes "<exit status> <peak resident KiB>" to the file REPORT. The peak
// comes from wait4(): Linux counts the memory of the process before exec in
// it, so the tests run the tool through this small program, built without
// sanitizers, rather than from their own large process.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool limit(int resource, unsigned long long bytes) {
    if (bytes == 0) return true;
    const rlimit value{bytes, bytes};
    return setrlimit(resource, &value) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: measure_run REPORT STACK_KIB ADDRESS_MIB PROGRAM [ARGUMENT...]\n", stderr);
        return 125;
    }
    const unsigned long long stackKib = std::strtoull(argv[2], nullptr, 10);
    const unsigned long long addressMib = std::strtoull(argv[3], nullptr, 10);
    const pid_t child = fork();
    if (child < 0) return 125;
    if (child == 0) {
        if (!limit(RLIMIT_STACK, stackKib << 10) || !limit(RLIMIT_AS, addressMib << 20)) _exit(126);
        execv(argv[4], argv + 4);
        _exit(127);
    }
    int wait = 0;
    rusage usage{};
    if (wait4(child, &wait, 0, &usage) != child) return 125;
    const int status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    std::FILE* report = std::fopen(argv[1], "w");
    if (report == nullptr) return 125;
    std::fprintf(report, "%d %ld\n", status, usage.ru_maxrss);
    return std::fclose(report) == 0 ? 0 : 125;
}
