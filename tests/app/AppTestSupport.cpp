// Support for the GUI's Qt Test programs (see AppTestSupport.h).
#include "AppTestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

#include "model/CoreSetup.h"

namespace perspix::apptest {

QString dataPath(const QString& relative)
{
    return QDir(QStringLiteral(PERSPIX_TEST_DATA)).filePath(relative);
}

void prepareEnvironment()
{
    // The store lives under XDG_CONFIG_HOME: a folder of our own keeps the user's settings
    // out of every test, and every run starts from a fresh store.
    static QTemporaryDir configHome(QDir::tempPath() + QStringLiteral("/perspix-apptest-XXXXXX"));
    ::setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    ::setenv("HOME", configHome.path().toLocal8Bit().constData(), 1);
    perspix::setupCore();
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
