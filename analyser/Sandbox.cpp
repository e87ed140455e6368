// The seccomp filter of perspix-analyser (see Sandbox.h).
#include "analyser/Sandbox.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PERSPIX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PERSPIX_SANITIZED 1
#endif
#endif

namespace perspix::analyser {

namespace {

// Calls that change files or their names, or reach beyond the process.
constexpr std::array kRefused = {
    "execve",
    "execveat",
    "fork",
    "vfork",
    "connect",
    "bind",
    "listen",
    "accept",
    "accept4",
    "unlink",
    "unlinkat",
    "rename",
    "renameat",
    "renameat2",
    "mkdir",
    "mkdirat",
    "rmdir",
    "link",
    "linkat",
    "symlink",
    "symlinkat",
    "creat",
    "mknod",
    "mknodat",
    "truncate",
    "ftruncate",
    "chmod",
    "fchmod",
    "fchmodat",
    "chown",
    "fchown",
    "lchown",
    "fchownat",
    "setxattr",
    "lsetxattr",
    "fsetxattr",
    "removexattr",
    "lremovexattr",
    "fremovexattr",
    "utime",
    "utimes",
    "utimensat",
    "futimesat",
    "mount",
    "umount2",
    "pivot_root",
    "chroot",
    "process_vm_writev",
    "name_to_handle_at",
    "open_by_handle_at",
#ifndef PERSPIX_SANITIZED
    // LeakSanitizer stops the threads at exit from a traced clone of the process.
    "ptrace",
#endif
};

// Open flags that write, create or empty a file.
constexpr std::array kWritingFlags = {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC};

bool add(scmp_filter_ctx ctx, uint32_t action, const char* name, unsigned count = 0,
         const scmp_arg_cmp* args = nullptr, QString* reason = nullptr)
{
    const int call = seccomp_syscall_resolve_name(name);
    if (call == __NR_SCMP_ERROR)
        return true; // not a call of this architecture
    const int rc = seccomp_rule_add_array(ctx, action, call, count, args);
    if (rc < 0 && reason)
        *reason = QStringLiteral("rule for %1: %2")
                      .arg(QLatin1String(name), QString::fromLocal8Bit(std::strerror(-rc)));
    return rc >= 0;
}

} // namespace

bool enterSandbox(QString* reason)
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
    if (!ctx) {
        *reason = QStringLiteral("seccomp cannot be set up");
        return false;
    }
    // A binary tree of the calls instead of a list: the filter runs on every system call.
    seccomp_attr_set(ctx, SCMP_FLTATR_CTL_OPTIMIZE, 2);
    const uint32_t kill = SCMP_ACT_KILL_PROCESS;
    bool ok = true;
    for (const char* name : kRefused)
        ok = ok && add(ctx, kill, name, 0, nullptr, reason);
    for (const int flag : kWritingFlags) {
        const auto f = static_cast<scmp_datum_t>(flag);
        const scmp_arg_cmp open = SCMP_A1(SCMP_CMP_MASKED_EQ, f, f);
        const scmp_arg_cmp openat = SCMP_A2(SCMP_CMP_MASKED_EQ, f, f);
        ok = ok && add(ctx, kill, "open", 1, &open, reason) &&
             add(ctx, kill, "openat", 1, &openat, reason);
    }
    // Threads only: a clone without CLONE_THREAD is a new process. clone3 keeps its flags
    // where a filter cannot see them; refused softly, the C library falls back to clone.
#ifndef PERSPIX_SANITIZED
    const scmp_arg_cmp process = SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0);
    ok = ok && add(ctx, kill, "clone", 1, &process, reason);
#endif
    // The C library asks a name service daemon over a socket before it reads the user
    // database itself (a file's owner): refused with an error it takes in its stride, since
    // killing the helper there would fail ordinary files. Without a socket there is no
    // connection to make.
    ok = ok && add(ctx, SCMP_ACT_ERRNO(EACCES), "socket", 0, nullptr, reason) &&
         add(ctx, SCMP_ACT_ERRNO(EACCES), "socketpair", 0, nullptr, reason);
    ok = ok && add(ctx, SCMP_ACT_ERRNO(ENOSYS), "clone3", 0, nullptr, reason) &&
         add(ctx, SCMP_ACT_ERRNO(ENOSYS), "openat2", 0, nullptr, reason);
    if (ok) {
        const int rc = seccomp_load(ctx);
        if (rc < 0) {
            *reason = QString::fromLocal8Bit(std::strerror(-rc));
            ok = false;
        }
    }
    seccomp_release(ctx);
    return ok;
}

int checkSandbox(QTextStream& out)
{
    const QByteArray probe = QFile::encodeName(
        QDir::temp().filePath(QStringLiteral("perspix-sandbox-probe-%1").arg(::getpid())));
    struct Probe
    {
        const char* what;
        // True when the call failed with the error the filter gives.
        bool (*attempt)(const char* path);
    };
    const Probe probes[] = {
        {"opening a file for writing",
         [](const char* path) {
             const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
             if (fd >= 0)
                 ::close(fd);
             return false;
         }},
        {"making a socket",
         [](const char*) { return ::socket(AF_INET, SOCK_STREAM, 0) < 0 && errno == EACCES; }},
        {"starting a program",
         [](const char*) {
             char* const argv[] = {const_cast<char*>("/bin/true"), nullptr};
             ::execv(argv[0], argv);
             return false;
         }},
    };
    int refused = 0;
    for (const Probe& p : probes) {
        out.flush();
        const pid_t pid = ::fork();
        if (pid == 0) {
            QString reason;
            if (!enterSandbox(&reason))
                ::_exit(2);
            ::_exit(p.attempt(probe.constData()) ? 3 : 0);
        }
        int status = 0;
        while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const bool wasRefused = pid > 0 && ((WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) ||
                                            (WIFEXITED(status) && WEXITSTATUS(status) == 3));
        refused += wasRefused ? 1 : 0;
        QString outcome = QStringLiteral("allowed");
        if (wasRefused)
            outcome = QStringLiteral("refused");
        else if (pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 2)
            outcome = QStringLiteral("not checked: no sandbox on this system");
        out << p.what << ": " << outcome << '\n';
        ::unlink(probe.constData());
    }
    out.flush();
    return refused == static_cast<int>(std::size(probes)) ? 0 : 1;
}

} // namespace perspix::analyser
