// Test support and the common main of every test program: a Qt core application and the
// same library set-up as the real program.
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "model/CoreSetup.h"

namespace perspix::test {

QString dataPath(const QString& relative)
{
    return QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(relative);
}

TempDir::TempDir() : m_dir(QDir::tempPath() + QStringLiteral("/perspix-test-XXXXXX")) {}

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
