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

// Waits (running the event loop) until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);

} // namespace perspix::apptest

#define PERSPIX_APP_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        perspix::apptest::prepareEnvironment();                                                    \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
