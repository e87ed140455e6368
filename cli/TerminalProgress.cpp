// The progress bar of perspix-cli (see TerminalProgress.h).
#include "cli/TerminalProgress.h"

namespace perspix::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr qint64 kDrawIntervalMs = 100;
} // namespace

void TerminalProgress::begin(qsizetype total)
{
    m_total = total;
    if (!m_show)
        return;
    m_log = std::make_unique<LogCapture>();
    m_logPrinted = 0;
    update(0, 0, true);
}

void TerminalProgress::update(qsizetype done, qsizetype failed, bool force)
{
    m_done = done;
    m_failed = failed;
    if (!m_show)
        return;
    if (!force && m_shown && m_sinceDraw.elapsed() < kDrawIntervalMs)
        return;
    flushLog();
    draw();
}

void TerminalProgress::draw()
{
    const int filled = m_total > 0 ? static_cast<int>(m_done * kBarWidth / m_total) : 0;
    m_err << '\r' << '[' << QString(filled, QLatin1Char('#'))
          << QString(kBarWidth - filled, QLatin1Char('-')) << "] " << m_done << '/' << m_total;
    if (m_failed > 0)
        m_err << " (" << m_failed << " failed)";
    m_err << "\x1b[K";
    m_err.flush();
    m_shown = true;
    m_sinceDraw.start();
}

void TerminalProgress::clear()
{
    if (!m_shown)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_shown = false;
}

void TerminalProgress::flushLog()
{
    if (!m_log)
        return;
    const QStringList lines = m_log->lines();
    if (lines.size() <= m_logPrinted)
        return;
    const bool redraw = m_shown;
    clear();
    for (qsizetype i = m_logPrinted; i < lines.size(); ++i)
        m_err << "Perspix: " << lines[i] << '\n';
    m_logPrinted = lines.size();
    m_err.flush();
    if (redraw)
        draw();
}

void TerminalProgress::end()
{
    clear();
    flushLog();
    m_log.reset();
}

} // namespace perspix::cli
