// Test support and the common main of every test program: a Qt core application and the
// same library set-up as the real program.
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>

#include "batch/CoreSetup.h"

namespace perspix::test {

QString dataPath(const QString& relative)
{
    return QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(relative);
}

Outcome runProgram(const QString& program, const QStringList& args, const QString& home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Outcome o;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

TempDir::TempDir() : m_dir(QDir::tempPath() + QStringLiteral("/perspix-test-XXXXXX")) {}

TempDir::~TempDir()
{
    if (!m_dir.isValid())
        return;
    std::error_code error;
    const std::filesystem::path root(QFile::encodeName(m_dir.path()).toStdString());
    std::filesystem::remove_all(root, error);
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

QString TempDir::copyData(const QString& relative, const QString& name) const
{
    const QString target = filePath(name.isEmpty() ? QFileInfo(relative).fileName() : name);
    QFile::copy(dataPath(relative), target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther);
    return target;
}

} // namespace perspix::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    perspix::setupCore();
    return RUN_ALL_TESTS();
}
