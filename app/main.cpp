// The perspix program: hands its files to a running perspix when there is one, and
// otherwise starts the application with a window for its files (or an empty one).
//   perspix [FILE...]               open files and folders
//   perspix --quick-info FILE...    the Quick Info hand-over
//   perspix --screenshots DIR FILE  write screenshots of the tabs and quit
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include "app/AppController.h"
#include "app/AppIcon.h"
#include "app/screenshots/ScreenshotMode.h"
#include "app/platform/SingleInstance.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Perspix"));
    QApplication::setApplicationVersion(QStringLiteral(PERSPIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("perspix"));
    QApplication::setWindowIcon(perspix::appIcon());
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the technical metadata of films, sound files and images."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption quickInfo(QStringLiteral("quick-info"),
                                       QStringLiteral("Show the files in quick-info windows."));
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Write screenshots of the window into the folder, then quit."),
        QStringLiteral("folder"));
    parser.addOption(quickInfo);
    parser.addOption(screenshots);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files and folders."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    QStringList paths;
    for (const QString& path : parser.positionalArguments())
        paths.append(QFileInfo(path).absoluteFilePath());

    if (parser.isSet(screenshots))
        return perspix::runScreenshotMode(parser.value(screenshots), paths);

    perspix::SingleInstance instance;
    if (instance.sendToRunning(paths, parser.isSet(quickInfo)))
        return 0;
    instance.listen();

    perspix::AppController& controller = perspix::AppController::instance();
    QObject::connect(&instance, &perspix::SingleInstance::filesReceived, &controller,
                     &perspix::AppController::handOver);
    const bool quick = parser.isSet(quickInfo);
    QTimer::singleShot(0, &controller, [&controller, paths, quick] {
        if (quick)
            controller.identifyService(paths);
        else if (!paths.isEmpty())
            controller.openFiles(paths);
        controller.applicationWillBecomeActive();
    });
    return app.exec();
}
