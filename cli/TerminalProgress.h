// The progress bar of perspix-cli's runs on standard error, when it is a terminal: one line
// "[####------] done/total (N failed)" redrawn at most every 100 ms. While it is shown, the
// program's log lines are captured and printed above it, so none cuts through the bar.
#pragma once

#include <QElapsedTimer>
#include <QTextStream>
#include <memory>

#include "model/Log.h"

namespace perspix::cli {

class TerminalProgress
{
public:
    TerminalProgress(QTextStream& err, bool show) : m_err(err), m_show(show) {}
    ~TerminalProgress() { end(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Starts capturing the log and draws the empty bar.
    void begin(qsizetype total);
    // Draws the bar, at once when forced or when it was cleared, otherwise at most every
    // interval.
    void update(qsizetype done, qsizetype failed, bool force = false);
    // Takes the bar off the line (before printing a result on the same terminal).
    void clear();
    // Prints the log lines captured so far above the bar.
    void flushLog();
    // Clears the bar, prints the last log lines and stops capturing.
    void end();

private:
    void draw();

    QTextStream& m_err;
    bool m_show;
    qsizetype m_total = 0;
    qsizetype m_done = 0;
    qsizetype m_failed = 0;
    bool m_shown = false;
    QElapsedTimer m_sinceDraw;
    std::unique_ptr<LogCapture> m_log;
    qsizetype m_logPrinted = 0;
};

} // namespace perspix::cli
