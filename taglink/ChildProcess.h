// A child process started with posix_spawn, and the pipe and descriptor helpers around
// it. Every descriptor is close-on-exec; a child gets only the standard streams it is
// given. A child that exits is always reaped.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace taglink {

// Owns one file descriptor.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

struct Pipe
{
    UniqueFd read;
    UniqueFd write;
    // Both ends close-on-exec and above the standard streams. False with errno set.
    bool open();
};

// Makes a descriptor non-blocking.
bool setNonBlocking(int fd);
// Writes all bytes; a reader that has gone away gives EPIPE, never SIGPIPE. False with
// errno set.
bool writeAll(int fd, const char* data, std::size_t size);
// Appends what can be read without blocking. False once the writer has closed its end.
bool readAvailable(int fd, std::string& into);

class ChildProcess
{
public:
    // Standard streams of the child: a descriptor to connect, or -1 for the parent's own.
    struct Stdio
    {
        int in = -1;
        int out = -1;
        int err = -1;
        bool inFromDevNull = false;
        // "NAME=value" entries added to the program's environment for the child.
        std::vector<std::string> environment;
        // The child's working folder; empty for the parent's own.
        std::string workingDirectory;
    };

    // Starts the program; nothing with `error` set when it cannot be started.
    static std::optional<ChildProcess> spawn(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             const Stdio& stdio, std::string& error);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running here is killed and reaped: none outlives its owner.
    ~ChildProcess();

    pid_t pid() const { return m_pid; }
    // True while the child runs; reaps it once it has exited.
    bool isRunning();
    void signal(int sig) const;
    // Waits for the exit up to the timeout; true when the child has exited (and is reaped).
    bool waitFor(std::chrono::milliseconds timeout);
    // Waits for the exit however long it takes, and reaps the child.
    void wait() { reap(true); }
    // Asks politely, then insists: SIGTERM, and SIGKILL after the grace time.
    void stop(std::chrono::milliseconds grace);
    // Exit status as waitpid reported it, once the child has exited.
    std::optional<int> status() const { return m_status; }

private:
    explicit ChildProcess(pid_t pid) : m_pid(pid) {}
    void reap(bool block);

    pid_t m_pid = -1;
    bool m_exited = false;
    std::optional<int> m_status;
};

} // namespace taglink
