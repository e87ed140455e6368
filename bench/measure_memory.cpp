// Runs a command and prints its peak resident memory and the resident memory it still held
// when it finished its work (read at its exit, before the system takes the memory back).
// Used by bench/run for perspix-cli; measures nothing of its own.
//
//   measure_memory COMMAND [ARGS...]
//   prints "peak_rss_kb=N exit_rss_kb=M status=S" on standard error
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long statusField(pid_t pid, const char* field)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    const size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, len) == 0 && line[len] == ':') {
            value = std::strtol(line + len + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure_memory COMMAND [ARGS...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        raise(SIGSTOP);
        execvp(argv[1], argv + 1);
        std::perror("exec");
        _exit(127);
    }

    int status = 0;
    if (waitpid(child, &status, 0) < 0 || !WIFSTOPPED(status)) {
        std::fprintf(stderr, "measure_memory: the command did not start\n");
        return 2;
    }
    ptrace(PTRACE_SETOPTIONS, child, nullptr,
           reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL));
    ptrace(PTRACE_CONT, child, nullptr, nullptr);

    long exitRss = -1;
    long peakRss = -1;
    for (;;) {
        rusage usage{};
        const pid_t r = wait4(child, &status, 0, &usage);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            peakRss = std::max(peakRss, static_cast<long>(usage.ru_maxrss));
            break;
        }
        if (!WIFSTOPPED(status))
            continue;
        const int event = status >> 16;
        int forward = 0;
        if (event == PTRACE_EVENT_EXIT) {
            exitRss = statusField(child, "VmRSS");
            peakRss = statusField(child, "VmHWM");
        } else if (event == 0 && WSTOPSIG(status) != SIGTRAP) {
            forward = WSTOPSIG(status);
        }
        ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(static_cast<long>(forward)));
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::fprintf(stderr, "peak_rss_kb=%ld exit_rss_kb=%ld status=%d\n", peakRss, exitRss, code);
    return code;
}
