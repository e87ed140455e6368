// The main window's commands with real files: availability before, during and after the
// analysis; export through the sheet in every format and mode with its results; projects
// saved and opened again; removing a file fact; setting a file's date; the embedded
// pictures of a double-click; quick look; the diagnostic texts.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <sys/xattr.h>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/commands/DiagnosticsCommands.h"
#include "app/commands/ExportSheet.h"
#include "app/commands/MainWindowCommands.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/platform/FilesAndFoldersDialog.h"
#include "app/preview/QuickLookWindow.h"
#include "batch/WindowWorker.h"
#include "model/NativePath.h"
#include "model/PropertyList.h"
#include "model/Settings.h"
#include "model/Utilities.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

MainWindowController* openWindow(const QList<QUrl>& urls, Analyser analyser = {})
{
    MainWindowController* window = AppController::instance().showNewWindowForFiles(urls);
    if (analyser)
        window->myView()->setAnalyser(std::move(analyser));
    if (!urls.isEmpty())
        window->processUrls(urls);
    return window;
}

bool waitUntilDone(MainWindowController* window)
{
    return waitFor([window] {
        return window->worker()->processingIsDone() && window->worker()->countToProcess() > 0 &&
               window->myView()->currentData() != nullptr;
    });
}

void closeAll()
{
    QuickLookWindow::instance().closePreview();
    for (MainWindowController* window : AppController::instance().windows())
        window->close();
    QTest::qWait(20);
}

// The first row of the outline with the key, searched through the whole tree.
QModelIndex rowWithKey(ExtendedOutline* outline, const QString& key, const QModelIndex& parent = {})
{
    ExtTreeModel* model = outline->treeModel();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (model->itemForIndex(index)->key() == key)
            return index;
        const QModelIndex inner = rowWithKey(outline, key, index);
        if (inner.isValid())
            return inner;
    }
    return {};
}

// Answers the panels with fixed targets and counts the questions.
class FixedChooser : public ExportTargetChooser
{
public:
    std::optional<QString> file;
    std::optional<QString> folder;
    QString proposedName;
    int asked = 0;
    std::optional<QString> chooseSaveFile(const QString& proposed, const QString&) override
    {
        ++asked;
        proposedName = proposed;
        return file;
    }
    std::optional<QString> chooseFolder() override
    {
        ++asked;
        return folder;
    }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Analyser slowAnalyser(int delayMs)
{
    return [delayMs](const QString& path, const QVariantMap& options,
                     taglink::TaglinkStayOpenProcess* exiftool) {
        QThread::msleep(delayMs);
        return PerspixData::dataAboutFile(path, options, exiftool);
    };
}

} // namespace

class MainWindowCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeAll(); }

    void availabilityBeforeDuringAndAfterTheAnalysis()
    {
        MainWindowController* window = openWindow({});
        MainWindowCommands* commands = MainWindowCommands::of(window);
        QVERIFY(commands);
        const auto wholeListCommands = [commands] {
            return QList<bool>{commands->exportAction()->isEnabled(),
                               commands->saveProjectAction()->isEnabled()};
        };
        commands->updateStates();
        QCOMPARE(wholeListCommands(), (QList<bool>{false, false}));
        QVERIFY(!commands->quickLookAction()->isEnabled());
        // The comparisons follow the list without their menu being opened; an empty list
        // opens no window, whatever the shortcut.
        const auto compareCommands = [](MainWindowController* w) {
            return QList<bool>{
                w->findChild<QAction*>(QStringLiteral("compareAction"))->isEnabled(),
                w->findChild<QAction*>(QStringLiteral("compareExtendedAction"))->isEnabled()};
        };
        const auto comparisonWindows = [] {
            int count = 0;
            for (QWidget* widget : QApplication::topLevelWidgets())
                count +=
                    widget->inherits("perspix::ComparisonWindowController") && widget->isVisible();
            return count;
        };
        QCOMPARE(compareCommands(window), (QList<bool>{false, false}));
        window->findChild<QAction*>(QStringLiteral("compareAction"))->trigger();
        QCOMPARE(comparisonWindows(), 0);
        QVERIFY(commands->openProjectAction()->isEnabled());
        QVERIFY(!commands->diagnosticsMenu()->menuAction()->isVisible());

        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("a.mp3")),
            folder.add(QStringLiteral("audio/tone.flac"), QStringLiteral("b.flac"))};
        MainWindowController* busy = openWindow(fileUrls(paths), slowAnalyser(600));
        MainWindowCommands* busyCommands = MainWindowCommands::of(busy);
        QVERIFY(waitFor([busy] { return busy->worker()->countToProcess() == 2; }));
        busyCommands->updateStates();
        QVERIFY(!busy->worker()->processingIsDone());
        QCOMPARE(QList<bool>({busyCommands->exportAction()->isEnabled(),
                              busyCommands->saveProjectAction()->isEnabled()}),
                 (QList<bool>{false, false}));
        QVERIFY(busyCommands->exportFiles() == nullptr); // refused while analysing
        QCOMPARE(compareCommands(busy), (QList<bool>{false, false}));

        QVERIFY(waitUntilDone(busy));
        QVERIFY(waitFor([&] { return compareCommands(busy) == QList<bool>{true, true}; }, 2000));
        busy->findChild<QAction*>(QStringLiteral("compareAction"))->trigger();
        QCOMPARE(comparisonWindows(), 1);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->inherits("perspix::ComparisonWindowController"))
                widget->close();
        busyCommands->updateStates();
        QVERIFY(busyCommands->exportAction()->isEnabled());
        QVERIFY(busyCommands->saveProjectAction()->isEnabled());
        QVERIFY(busyCommands->quickLookAction()->isEnabled());
        for (QAction* action :
             {busyCommands->removeMetadataAction(), busyCommands->removeLocationAction(),
              busyCommands->extractAttachmentsAction()})
            QVERIFY(action->isEnabled());
        QCOMPARE(busyCommands->quickLookAction()->text(), QStringLiteral("&Quick Look"));

        // A filter that hides every file leaves nothing to export.
        busy->myView()->fileNameSearchField()->setText(QStringLiteral("no such name"));
        busyCommands->updateStates();
        QVERIFY(!busyCommands->exportAction()->isEnabled());
        busy->myView()->fileNameSearchField()->clear();

        // The diagnostic menu shows with the setting.
        Settings().setValue(prefs::kEnableDebug, true);
        busyCommands->updateStates();
        QVERIFY(busyCommands->diagnosticsMenu()->menuAction()->isVisible());
        Settings().setValue(prefs::kEnableDebug, false);
        busyCommands->updateStates();
        QVERIFY(!busyCommands->diagnosticsMenu()->menuAction()->isVisible());
    }

    void exportThroughTheSheetInEveryFormatAndMode()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("clip.mp3")),
            folder.add(QStringLiteral("images/BlueSquare.jpg"), QStringLiteral("clip.jpg"))};
        MainWindowController* window = openWindow(fileUrls(paths));
        QVERIFY(waitUntilDone(window));
        MainWindowCommands* commands = MainWindowCommands::of(window);
        QTemporaryDir out;

        const QStringList formats = {"txt", "html", "csv", "xml", "json", "plist"};
        for (const QString& format : formats) {
            for (const bool compound : {true, false}) {
                ExportSheet* sheet = commands->exportFiles();
                QVERIFY(sheet);
                QCOMPARE(sheet->formatMenu()->count(), 6);
                sheet->formatMenu()->setCurrentIndex(sheet->formatMenu()->findData(format));
                (compound ? sheet->compoundButton() : sheet->separateButton())->setChecked(true);
                auto chooser = std::make_unique<FixedChooser>();
                const QString target =
                    out.filePath(QStringLiteral("%1-%2").arg(format).arg(compound));
                QDir().mkpath(target);
                chooser->file = QDir(target).filePath(QStringLiteral("all.") + format);
                chooser->folder = target;
                FixedChooser* asked = chooser.get();
                sheet->setChooser(std::move(chooser));
                QSignalSpy finished(sheet, &ExportSheet::exportFinished);
                QPointer<ExportSheet> guard(sheet);
                sheet->confirm();
                QVERIFY(finished.wait(20000) || finished.count() == 1);
                QCOMPARE(finished.first().first().toInt(), 0);
                QCOMPARE(asked->asked, 1);
                QVERIFY(waitFor([&guard] { return !guard || !guard->isVisible(); }));
                QCOMPARE(Settings().stringValue(prefs::kLastExportFormat), format);
                QCOMPARE(Settings().lastExportIsCompound(), compound);

                if (compound) {
                    QCOMPARE(asked->proposedName, QStringLiteral("Perspix Export"));
                    const QByteArray bytes = readAll(QDir(target).filePath("all." + format));
                    QVERIFY2(!bytes.isEmpty(), qPrintable(format));
                    if (format == "txt")
                        QVERIFY(bytes.startsWith("Generated by Perspix v"));
                    if (format == "csv") {
                        const QByteArray head =
                            "\"Parameter\",\"Value\"\n\"" +
                            window->myView()->arrayWithDataForExport().first().filename.toUtf8() +
                            "\",";
                        QVERIFY2(bytes.startsWith(head), bytes.left(200).constData());
                    }
                    if (format == "html")
                        QVERIFY(bytes.contains("<title>Perspix Export</title>"));
                    if (format == "xml")
                        QCOMPARE(bytes.count("<file path="), 2);
                    if (format == "json") {
                        const QJsonArray list = QJsonDocument::fromJson(bytes).array();
                        QCOMPARE(list.size(), 2);
                        QCOMPARE(list[1].toObject().value("_FileName").toString(),
                                 window->myView()->arrayWithDataForExport()[1].filename);
                    }
                    if (format == "plist") {
                        QVERIFY(bytes.startsWith("bplist00"));
                        const auto decoded = PropertyList::decode(bytes);
                        QVERIFY(decoded);
                        QCOMPARE(decoded->toList().size(), 2);
                    }
                } else {
                    // Two files named "clip": the second takes a numbered name.
                    const QStringList written = QDir(target).entryList(QDir::Files, QDir::Name);
                    QCOMPARE(written, (QStringList{"clip (1)." + format, "clip." + format}));
                    if (format == "json")
                        QVERIFY(QJsonDocument::fromJson(
                                    readAll(QDir(target).filePath("clip." + format)))
                                    .isObject());
                }
            }
        }
    }

    void exportResultsCancelAndFailedWrite()
    {
        SampleFolder folder;
        const QString path =
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3"));
        MainWindowController* window = openWindow(fileUrls({path}));
        QVERIFY(waitUntilDone(window));
        MainWindowCommands* commands = MainWindowCommands::of(window);

        // Cancelled panel: result 1, the sheet stays open. One file with separate output
        // still asks for one file, named after it.
        ExportSheet* sheet = commands->exportFiles();
        sheet->separateButton()->setChecked(true);
        auto cancel = std::make_unique<FixedChooser>();
        FixedChooser* asked = cancel.get();
        sheet->setChooser(std::move(cancel));
        QSignalSpy finished(sheet, &ExportSheet::exportFinished);
        sheet->confirm();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 1);
        QCOMPARE(asked->proposedName, QStringLiteral("song"));
        QVERIFY(sheet->isVisible());

        // A file that cannot be written: result 2, the sheet closes.
        auto failing = std::make_unique<FixedChooser>();
        failing->file = QStringLiteral("/nonexistent-folder/song.txt");
        sheet->setChooser(std::move(failing));
        finished.clear();
        QPointer<ExportSheet> guard(sheet);
        sheet->confirm();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toInt(), 2);
        QVERIFY(waitFor([&guard] { return !guard || !guard->isVisible(); }));
    }

    void manyFilesExportWithADeterminateProgressDialog()
    {
        SampleFolder folder;
        QStringList paths;
        for (int i = 0; i < 8; ++i)
            paths.append(folder.add(QStringLiteral("audio/tone.flac"),
                                    QStringLiteral("tone%1.flac").arg(i)));
        MainWindowController* window = openWindow(fileUrls(paths));
        QVERIFY(waitUntilDone(window));
        QVERIFY(
            waitFor([window] { return window->myView()->arrayWithDataForExport().size() == 8; }));
        ExportSheet* sheet = MainWindowCommands::of(window)->exportFiles();
        sheet->separateButton()->setChecked(true);
        QTemporaryDir out;
        auto chooser = std::make_unique<FixedChooser>();
        chooser->folder = out.path();
        sheet->setChooser(std::move(chooser));
        QSignalSpy finished(sheet, &ExportSheet::exportFinished);
        sheet->confirm();
        // The window keeps running its event loop while the files are written.
        auto* progress = sheet->findChild<QProgressDialog*>();
        QVERIFY(progress);
        QCOMPARE(progress->maximum(), 8);
        QVERIFY(finished.wait(20000) || finished.count() == 1);
        QCOMPARE(finished.first().first().toInt(), 0);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 8);
    }

    void doubleClickOnALocationShowsIt()
    {
        QList<MapLocation> shown;
        MainWindowCommands::setLocationHandler([&shown](const MapLocation& location) {
            shown.append(location);
            return true;
        });
        const QString film = dataPath(QStringLiteral("media/paris.mp4"));
        MainWindowController* window = openWindow(fileUrls({film}));
        QVERIFY(waitUntilDone(window));
        ExtendedOutline* outline = window->myView()->outline();
        const QModelIndex row =
            rowWithKey(outline, QStringLiteral("com.apple.quicktime.location.ISO6709"));
        QVERIFY(row.isValid());
        MainWindowCommands::of(window)->outlineRowDoubleClicked(row);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().latitude, 48.8577);
        QCOMPARE(shown.first().longitude, 2.295);

        // The location line of an image's General tab.
        MainWindowController* photo =
            openWindow(fileUrls({dataPath(QStringLiteral("images/DSCN0010.jpg"))}));
        QVERIFY(waitUntilDone(photo));
        ExtTreeModel* streams = photo->myView()->generalView()->streamModel();
        ExtTreeItemPtr locationLine;
        for (int i = 0; i < streams->rowCount(); ++i)
            if (const ExtTreeItemPtr line = streams->itemForIndex(streams->index(i, 0));
                line->isLocation())
                locationLine = line;
        QVERIFY(locationLine);
        MainWindowCommands::of(photo)->generalRowDoubleClicked(locationLine);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.last(), *photo->myView()->currentData()->mapLocation());
        MainWindowCommands::setLocationHandler({});

        // Without a map the search goes to the browser with "latitude,longitude".
        QCOMPARE(MainWindowCommands::externalMapSearchUrl(shown.first()).toString(),
                 QStringLiteral("https://www.openstreetmap.org/search?query=48.857700%2C2.295000"));
    }

    void projectSavedAndOpenedAgain()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("audio/tone.flac"), QStringLiteral("b.flac")),
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("a.mp3")),
            folder.add(QStringLiteral("images/BlueSquare.jpg"), QStringLiteral("c.jpg"))};
        MainWindowController* window = openWindow(fileUrls(paths));
        QVERIFY(waitUntilDone(window));
        // A name that is not UTF-8, chosen in Add Files… where the dialog shows it with
        // U+FFFD, keeps its bytes through the list, the analysis and the project.
        const QString latin =
            folder.add(QStringLiteral("images/BlueSquare.jpg"), NativePath::decoded("caf\xe9.jpg"));
        FilesAndFoldersDialog* add = window->addFiles();
        add->setDirectory(folder.path());
        add->selectFile(QString::fromUtf8("caf\xef\xbf\xbd.jpg"));
        add->accept();
        QVERIFY(waitFor([window] { return window->myView()->filelist().size() == 4; }));
        QVERIFY(waitUntilDone(window));
        const FilelistItemPtr added = window->myView()->filelist().last();
        QCOMPARE(NativePath::encoded(added->filename()), NativePath::encoded(latin));
        QVERIFY(added->data() && added->data()->isImage());
        QCOMPARE(added->data()->format().value_or(QString()), QStringLiteral("JPEG"));
        // The whole list is saved, also what a filter hides.
        window->myView()->fileNameSearchField()->setText(QStringLiteral("a.mp3"));
        QVERIFY(waitFor([window] { return window->myView()->arrangedModel()->rowCount() == 1; }));
        const QString project = folder.filePath(QStringLiteral("My List.perspixproj"));
        QVERIFY(MainWindowCommands::of(window)->saveProjectToFile(project));
        QCOMPARE(window->projectName(), QStringLiteral("My List"));
        QCOMPARE(window->windowTitle(), QStringLiteral("a.mp3 — My List"));
        QStringList saved;
        for (const FilelistItemPtr& item : window->myView()->filelist())
            saved.append(item->filename());

        MainWindowController* reopened = openWindow({QUrl::fromLocalFile(project)});
        QVERIFY(waitUntilDone(reopened));
        QStringList opened;
        for (const FilelistItemPtr& item : reopened->myView()->filelist())
            opened.append(item->filename());
        QCOMPARE(opened, saved);
        QCOMPARE(opened.size(), 4);
        const PerspixDataPtr again = reopened->myView()->filelist().last()->data();
        QVERIFY(again && again->format().value_or(QString()) == QStringLiteral("JPEG"));
        QVERIFY(reopened->windowTitle().endsWith(QStringLiteral(" — My List")));

        // A project and another file together are plain files.
        MainWindowController* plain =
            openWindow({QUrl::fromLocalFile(project), QUrl::fromLocalFile(paths[0])});
        QVERIFY(waitFor([plain] { return plain->myView()->filelist().size() == 2; }));
        QVERIFY(plain->projectName().isEmpty());

        // A project that cannot be written says so, naming the file and the reason.
        MainWindowCommands* commands = MainWindowCommands::of(window);
        const QString unwritable = folder.filePath(QStringLiteral("no folder/Lost.perspixproj"));
        QVERIFY(!commands->saveProjectToFile(unwritable));
        QVERIFY(commands->lastAlert());
        QVERIFY2(commands->lastAlert()->text().contains(QStringLiteral("Lost.perspixproj")),
                 qPrintable(commands->lastAlert()->text()));
        QVERIFY(commands->lastAlert()->text().contains(QStringLiteral("No such file")));
        commands->lastAlert()->close();
        QCOMPARE(window->projectName(), QStringLiteral("My List"));
    }

    void removingAFileFactThenAnalysingAgain()
    {
        SampleFolder folder;
        const QString path =
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3"));
        const QByteArray url = "https://example.org/song.mp3";
        QCOMPARE(::setxattr(path.toLocal8Bit().constData(), "user.xdg.origin.url", url.constData(),
                            size_t(url.size()), 0),
                 0);
        MainWindowController* window = openWindow(fileUrls({path}));
        QVERIFY(waitUntilDone(window));
        window->setCurrentTab(MainWindowController::ExtendedTab);
        ExtendedOutline* outline = window->myView()->outline();
        QModelIndex row = rowWithKey(outline, QStringLiteral("FileFrom"));
        QVERIFY(row.isValid());
        const ExtTreeItemPtr item = outline->treeModel()->itemForIndex(row);

        // The context menu offers it for this row alone.
        QMenu menu;
        MainWindowCommands* commands = MainWindowCommands::of(window);
        commands->addOutlineCommands(&menu, row);
        QCOMPARE(menu.actions().size(), 2); // a separator and the command

        QVERIFY(commands->removeExtendedAttribute(item));
        char buffer[256];
        QCOMPARE(::getxattr(path.toLocal8Bit().constData(), "user.xdg.origin.url", buffer,
                            sizeof buffer),
                 ssize_t(-1));
        QVERIFY(waitFor([outline] {
            return outline->treeModel()->rowCount() > 0 &&
                   !rowWithKey(outline, QStringLiteral("FileFrom")).isValid();
        }));

        // Removing it again fails: the alert says why.
        QVERIFY(!commands->removeExtendedAttribute(item));
        QVERIFY(commands->lastAlert());
        QVERIFY(commands->lastAlert()->text().startsWith(
            QStringLiteral("The file fact could not be removed: ")));
        commands->lastAlert()->close();
    }

    void touchDateFromTheEncodedDate()
    {
        SampleFolder folder;
        const QString path =
            folder.add(QStringLiteral("media/et-QuickTime.mov"), QStringLiteral("film.mov"));
        MainWindowController* window = openWindow(fileUrls({path}));
        QVERIFY(waitUntilDone(window));
        ExtendedOutline* outline = window->myView()->outline();
        const QModelIndex row = rowWithKey(outline, QStringLiteral("Encoded_Date"));
        QVERIFY(row.isValid());
        MainWindowCommands* commands = MainWindowCommands::of(window);
        QMenu menu;
        commands->addOutlineCommands(&menu, row);
        QCOMPARE(menu.actions().size(), 2);

        QVERIFY(commands->touchDate(outline->treeModel()->itemForIndex(row)));
        QCOMPARE(QFileInfo(path).lastModified().toUTC(),
                 QDateTime(QDate(2005, 8, 11), QTime(14, 3, 54), Qt::UTC));

        const ExtTreeItemPtr bad = ExtTreeItem::itemWithKey(
            QStringLiteral("Encoded_Date"), QStringLiteral("Encoded date"), QStringLiteral("soon"));
        QVERIFY(!commands->touchDate(bad));
        QVERIFY(commands->lastAlert());
        QCOMPARE(commands->lastAlert()->text(), QStringLiteral("Failed to convert the date"));
        commands->lastAlert()->close();
        QCOMPARE(QFileInfo(path).lastModified().toUTC().date(), QDate(2005, 8, 11));
    }

    void doubleClickOpensTheEmbeddedPicturesInANewWindow()
    {
        SampleFolder folder;
        const QString path =
            folder.add(QStringLiteral("audio/two-covers.mp3"), QStringLiteral("covers.mp3"));
        MainWindowController* window = openWindow(fileUrls({path}));
        QVERIFY(waitUntilDone(window));
        const int before = int(AppController::instance().windows().size());
        QSignalSpy saved(MainWindowCommands::of(window),
                         &MainWindowCommands::embeddedPicturesSaved);
        const QStringList files = MainWindowCommands::of(window)->openEmbeddedPictures();
        QCOMPARE(files.size(), 2);
        const QString expectedFolder = QDir(QDir::tempPath()).filePath(Utilities::sha1String(path));
        for (const QString& file : files) {
            QCOMPARE(QFileInfo(file).absolutePath(), expectedFolder);
            QVERIFY(QFileInfo(file).size() > 0);
        }
        QCOMPARE(int(AppController::instance().windows().size()), before + 1);
        QDir(expectedFolder).removeRecursively();
    }

    void quickLookTogglesOnTheCurrentFile()
    {
        const QString image = dataPath(QStringLiteral("images/portrait_6.jpg"));
        MainWindowController* window = openWindow(fileUrls({image}));
        QVERIFY(waitUntilDone(window));
        MainWindowCommands* commands = MainWindowCommands::of(window);
        commands->toggleQuickLook();
        QVERIFY(commands->isQuickLookShown());
        QuickLookWindow& look = QuickLookWindow::instance();
        QCOMPARE(look.path(), image);
        QCOMPARE(look.kind(), QuickLookWindow::Kind::Image);
        // The orientation is applied: the stored landscape picture stands upright.
        QVERIFY(look.image().height() > look.image().width());
        commands->updateStates();
        QCOMPARE(commands->quickLookAction()->text(), QStringLiteral("Close &Quick Look"));
        QTest::keyClick(&look, Qt::Key_Space);
        QVERIFY(!commands->isQuickLookShown());
    }

    void diagnosticTexts()
    {
        const QString parameters = DiagnosticsCommands::libParametersCSV();
        QVERIFY(parameters.startsWith(QStringLiteral("General\n")));
        QVERIFY(parameters.contains(QStringLiteral("\n----------------------\nVideo\n")));
        QVERIFY(!parameters.contains(QLatin1Char(';')));

        const auto plist = DiagnosticsCommands::libParametersPlist();
        QVERIFY(plist);
        const auto decoded = PropertyList::decode(*plist);
        QVERIFY(decoded &&
                decoded->toMap().value(QStringLiteral("Container")).toList().size() > 50);

        const auto xmp = DiagnosticsCommands::prettyXmp(QStringLiteral(
            "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
            "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description/>"
            "</rdf:RDF></x:xmpmeta><?xpacket end='w'?>"));
        QVERIFY(xmp);
        const QStringList lines = xmp->split(QLatin1Char('\n'));
        QVERIFY(lines.first().startsWith(QStringLiteral("<?xpacket begin")));
        QVERIFY(lines.last().startsWith(QStringLiteral("<?xpacket end")));
        QVERIFY(lines.contains(QStringLiteral("    <rdf:Description/>")));

        const auto movie =
            DiagnosticsCommands::mp4Metadata(dataPath(QStringLiteral("media/paris.mp4")));
        QVERIFY(movie);
        QVERIFY(movie->startsWith(QStringLiteral("Metadata Formats:\n")));
        QVERIFY(movie->contains(QStringLiteral("============================\nKeys\n")));
        QVERIFY(movie->contains(QStringLiteral("identifier=Keys/GPSCoordinates, dataType=string")));
        QVERIFY(!DiagnosticsCommands::mp4Metadata(dataPath(QStringLiteral("audio/stereo.wav"))));

        const QString jpeg = dataPath(QStringLiteral("images/Canon_40D.jpg"));
        const auto reader = DiagnosticsCommands::imageioProperties(jpeg);
        QVERIFY(reader && reader->startsWith(jpeg + QStringLiteral(" {\n")));
        QVERIFY(reader->contains(QStringLiteral("    Format = jpeg;")));
        QVERIFY(!DiagnosticsCommands::imageioProperties(dataPath(QStringLiteral("README.md"))));
    }

    void diagnosticCommandsCopyAndShowInCustomTab()
    {
        const QString image = dataPath(QStringLiteral("images/et-XMP.jpg"));
        MainWindowController* window = openWindow(fileUrls({image}));
        QVERIFY(waitUntilDone(window));
        QMenu* menu = MainWindowCommands::of(window)->diagnosticsMenu();
        QApplication::clipboard()->clear();
        menu->findChild<QAction*>(QStringLiteral("copyExiv2Output"))->trigger();
        QVERIFY(waitFor([] { return !QApplication::clipboard()->text().isEmpty(); }));
        QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("Exif.")));

        menu->findChild<QAction*>(QStringLiteral("customWithRawXmp"))->trigger();
        QVERIFY(
            waitFor([window] { return window->currentTab() == MainWindowController::CustomTab; }));
        QPlainTextEdit* custom = window->myView()->customView();
        QVERIFY(custom->toPlainText().startsWith(QStringLiteral("<?xpacket")));
        QCOMPARE(custom->font().pointSize(), 12);
        QVERIFY(custom->font().fixedPitch() || QFontInfo(custom->font()).fixedPitch());
    }
};

PERSPIX_APP_TEST_MAIN(MainWindowCommandsTest)

#include "MainWindowCommandsTest.moc"
