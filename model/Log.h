// The program's one logging call: one plain line per message on standard error.
// Tests install a capture to read the lines instead.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace perspix {

// Writes one line (the message without its trailing line break) to the log.
void logLine(const QString& message);

// While alive, every logged line is appended to lines() instead of going to stderr.
// Captures nest; the innermost one receives the lines. Safe across threads.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    bool contains(const QString& fragment) const;

private:
    friend void logLine(const QString& message);
    void append(const QString& line);
    LogCapture* m_previous = nullptr;
    QStringList m_lines;
};

} // namespace perspix
