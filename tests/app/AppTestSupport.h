// Support for the GUI's Qt Test programs: the sample files, a per-program settings folder
// and the common main.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <functional>

namespace perspix::apptest {

// Absolute path of a file below tests/data.
QString dataPath(const QString& relative);

// Points the settings store at a fresh temporary folder and sets up the core; called by
// PERSPIX_APP_TEST_MAIN before the application object exists.
void prepareEnvironment();

// Registers the settings' defaults as the program does before its first window.
void initializeApplication();

// Waits (running the event loop) until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);

} // namespace perspix::apptest

#define PERSPIX_APP_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        perspix::apptest::prepareEnvironment();                                                    \
        QApplication app(argc, argv);                                                              \
        perspix::apptest::initializeApplication();                                                 \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#include <QTemporaryDir>
#include <QUrl>

namespace perspix::apptest {

// A temporary folder with copies of sample files under chosen names.
class SampleFolder
{
public:
    SampleFolder();
    ~SampleFolder();
    // Copies tests/data/<relative> into the folder as name (kept bytes of a name that is not
    // UTF-8 included, see NativePath); answers its path.
    QString add(const QString& relative, const QString& name);
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QUrl url() const { return QUrl::fromLocalFile(m_dir.path()); }

private:
    QTemporaryDir m_dir;
};

QList<QUrl> fileUrls(const QStringList& paths);

} // namespace perspix::apptest
