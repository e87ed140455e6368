// Helpers shared by the test programs: paths of the sample files, temporary folders.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace perspix::test {

// Absolute path of a file below tests/data.
QString dataPath(const QString& relative);

// A fresh folder removed when the object goes away.
class TempDir
{
public:
    TempDir();
    // Qt's removal skips names that are not UTF-8: the folder goes by its bytes.
    ~TempDir();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Writes bytes to a file in the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // Copies a sample file into the folder (under a new name when given).
    QString copyData(const QString& relative, const QString& name = {}) const;

private:
    QTemporaryDir m_dir;
};

// What a program run gave: its exit status (-1 when it crashed or timed out) and its
// standard output and error.
struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

// Runs a built program with `home` as its home and settings folder, in the C.UTF-8 locale,
// so that it never reads or writes the user's settings.
Outcome runProgram(const QString& program, const QStringList& args, const QString& home);

} // namespace perspix::test
