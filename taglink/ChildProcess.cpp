// posix_spawn, pipes, reaping.
#include "taglink/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace taglink {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int UniqueFd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

namespace {
// A descriptor numbered 0, 1 or 2 (when the program runs with a standard stream closed)
// would be overwritten by the child's own streams: move it higher.
bool aboveStandardStreams(UniqueFd& fd)
{
    if (fd.get() > 2)
        return true;
    const int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3);
    if (moved < 0)
        return false;
    fd.reset(moved);
    return true;
}
} // namespace

bool Pipe::open()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    read.reset(fds[0]);
    write.reset(fds[1]);
    return aboveStandardStreams(read) && aboveStandardStreams(write);
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    // Writing into a pipe whose reader has exited raises SIGPIPE, which would end the
    // whole program. Block it for this thread and take back a signal the write caused.
    sigset_t pipeSet;
    sigset_t oldSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &oldSet);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;

    bool ok = true;
    int savedErrno = 0;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 10);
                continue;
            }
            ok = false;
            savedErrno = errno;
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    if (!ok && savedErrno == EPIPE && !wasPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldSet, nullptr);
    errno = savedErrno;
    return ok;
}

bool readAvailable(int fd, std::string& into)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

std::optional<ChildProcess> ChildProcess::spawn(const std::string& program,
                                                const std::vector<std::string>& arguments,
                                                const Stdio& stdio, std::string& error)
{
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdio.inFromDevNull)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    else if (stdio.in >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdio.in, 0);
    if (stdio.out >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdio.out, 1);
    if (stdio.err >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdio.err, 2);
    // Descriptors that other code opened without close-on-exec stay with us as well.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!stdio.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, stdio.workingDirectory.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with default signal handling and an empty mask, whatever this
    // thread has blocked or the program ignores.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> envp;
    for (const std::string& entry : stdio.environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    for (char** e = environ; e && *e; ++e) {
        const std::string_view existing(*e);
        const auto overridden = [&existing](const std::string& entry) {
            const auto eq = entry.find('=');
            return existing.size() > eq && existing.substr(0, eq + 1) == entry.substr(0, eq + 1);
        };
        if (std::none_of(stdio.environment.begin(), stdio.environment.end(), overridden))
            envp.push_back(*e);
    }
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = "cannot launch " + program + ": " + std::strerror(rc);
        return std::nullopt;
    }
    return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(other.m_pid), m_exited(other.m_exited), m_status(other.m_status)
{
    other.m_pid = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        if (m_pid > 0 && !m_exited) {
            signal(SIGKILL);
            reap(true);
        }
        m_pid = other.m_pid;
        m_exited = other.m_exited;
        m_status = other.m_status;
        other.m_pid = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0 && !m_exited) {
        signal(SIGKILL);
        reap(true);
    }
}

void ChildProcess::reap(bool block)
{
    if (m_pid <= 0 || m_exited)
        return;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
        if (r == m_pid) {
            m_exited = true;
            m_status = status;
            return;
        }
        if (r == 0)
            return;
        if (errno == EINTR)
            continue;
        // ECHILD: the program lets the system reap its children (SIGCHLD ignored), or
        // someone else waited for this one. Ask the system whether it still exists.
        if (::kill(m_pid, 0) != 0 && errno == ESRCH) {
            m_exited = true;
            return;
        }
        if (!block)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool ChildProcess::isRunning()
{
    reap(false);
    return m_pid > 0 && !m_exited;
}

void ChildProcess::signal(int sig) const
{
    // Never a group: a pid of 0 or below would reach every process of a group.
    if (m_pid > 0 && !m_exited)
        ::kill(m_pid, sig);
}

bool ChildProcess::waitFor(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (isRunning()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void ChildProcess::stop(std::chrono::milliseconds grace)
{
    if (!isRunning())
        return;
    signal(SIGTERM);
    if (waitFor(grace))
        return;
    signal(SIGKILL);
    reap(true);
}

} // namespace taglink
