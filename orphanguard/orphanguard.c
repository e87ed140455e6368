/* orphanguard: interrupts a child process (an ExifTool kept running by Taglink) once the
 * program that started both has died. It is stopped by that program otherwise; it never
 * checks what the child is. */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static void logLine(const char* format, ...)
{
    va_list args;
    fprintf(stderr, "orphanguard[%d]: ", (int)getpid());
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

/* A process identifier in plain decimal digits, from 1 up: 0 or a negative number would
 * make kill() reach a whole process group. */
static int parsePid(const char* text, pid_t* pid)
{
    long value = 0;
    if (*text == '\0')
        return 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10 + (*p - '0');
        if (value > INT_MAX)
            return 0;
    }
    if (value <= 0)
        return 0;
    *pid = (pid_t)value;
    return 1;
}

int main(int argc, char** argv)
{
    pid_t parent;
    pid_t child = 0;
    int result;

    if (argc != 2 || !parsePid(argv[1], &child)) {
        logLine("Usage: orphanguard <ChildPID>");
        return 1;
    }
    parent = getppid();
    /* The parent may name itself: if it died before we got here, the system has given
     * us another parent already, and we must act at once rather than watch that one. */
    {
        const char* named = getenv("ORPHANGUARD_PARENT");
        pid_t namedParent;
        if (named && parsePid(named, &namedParent))
            parent = namedParent;
    }

    /* When the parent dies the system gives us a new one. */
    while (getppid() == parent) {
        const struct timespec interval = {0, 100L * 1000L * 1000L};
        nanosleep(&interval, NULL);
    }

    result = kill(child, SIGINT);
    if (result == 0)
        logLine("Watchdog activated. Done.");
    else
        logLine("Watchdog failed to kill the process %i, result=%i, errno=%s", (int)child, result,
                strerror(errno));
    return 0;
}
