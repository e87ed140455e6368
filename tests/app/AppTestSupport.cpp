// Support for the GUI's Qt Test programs (see AppTestSupport.h).
#include "AppTestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "app/AppController.h"
#include "batch/CoreSetup.h"
#include "model/NativePath.h"
#include "model/Settings.h"

namespace perspix::apptest {

QString dataPath(const QString& relative)
{
    return QDir::cleanPath(QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(relative));
}

void prepareEnvironment()
{
    // The store lives under XDG_CONFIG_HOME: a folder of our own keeps the user's settings
    // out of every test, and every run starts from a fresh store.
    static QTemporaryDir configHome(QDir::tempPath() + QStringLiteral("/perspix-apptest-XXXXXX"));
    ::setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    ::setenv("HOME", configHome.path().toLocal8Bit().constData(), 1);
    // The result store too: never the user's cache.
    ::setenv("XDG_CACHE_HOME",
             (configHome.path() + QStringLiteral("/cache")).toLocal8Bit().constData(), 1);
    perspix::Settings::useStoreFile(configHome.filePath(QStringLiteral("Perspix.ini")));
    perspix::setupCore();
}

void initializeApplication()
{
    AppController::initialize();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace perspix::apptest

namespace perspix::apptest {

SampleFolder::SampleFolder() : m_dir(QDir::tempPath() + QStringLiteral("/perspix-samples-XXXXXX"))
{
}

SampleFolder::~SampleFolder()
{
    // QTemporaryDir lists names as text and so cannot remove one that is not UTF-8.
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(m_dir.path()).toStdString(), error);
}

QString SampleFolder::add(const QString& relative, const QString& name)
{
    const QString target = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (!NativePath::isText(target)) {
        // A name that is not UTF-8 (kept bytes): Qt's file functions would not reach it.
        NativePath::copy(dataPath(relative), target);
        return target;
    }
    QFile::copy(dataPath(relative), target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

QList<QUrl> fileUrls(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(NativePath::url(path));
    return urls;
}

} // namespace perspix::apptest
