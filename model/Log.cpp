// Logging to standard error, with a capture hook for tests.
#include "model/Log.h"

#include <cstdio>
#include <mutex>

#include "model/NativePath.h"

namespace perspix {

namespace {
std::mutex g_logLock;
LogCapture* g_capture = nullptr;
} // namespace

void logLine(const QString& message)
{
    // A path kept with the bytes of a name that is not UTF-8 shows them as U+FFFD.
    QString line = NativePath::shown(message);
    while (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    std::lock_guard guard(g_logLock);
    if (g_capture) {
        g_capture->append(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "Perspix: %s\n", bytes.constData());
    std::fflush(stderr);
}

LogCapture::LogCapture()
{
    std::lock_guard guard(g_logLock);
    m_previous = g_capture;
    g_capture = this;
}

LogCapture::~LogCapture()
{
    std::lock_guard guard(g_logLock);
    g_capture = m_previous;
}

void LogCapture::append(const QString& line)
{
    m_lines.append(line);
}

QStringList LogCapture::lines() const
{
    std::lock_guard guard(g_logLock);
    return m_lines;
}

bool LogCapture::contains(const QString& fragment) const
{
    const QStringList all = lines();
    for (const QString& l : all)
        if (l.contains(fragment))
            return true;
    return false;
}

} // namespace perspix
