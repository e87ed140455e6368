// Helpers for the export tests: running an independent reader (Python's standard library)
// over what our writers produce.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

// Readable test failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace perspix::test {

struct PythonResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a Python script with the given bytes on standard input. Nothing when no python3
// is installed (the caller skips).
inline std::optional<PythonResult> runPython(const QString& script, const QByteArray& input,
                                             const QStringList& args = {})
{
    // The system's own interpreter starts fastest; any other on the path will do.
    QString python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(python, QStringList{QStringLiteral("-c"), script} + args);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return PythonResult{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                        process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace perspix::test
