// The window's removal and extraction commands with real files: copies without metadata or
// location written into a chosen folder with the sources left byte-identical, and the
// extraction folders.
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/mainwindow/MainView.h"
#include "app/commands/MainWindowCommands.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/commands/StripCommands.h"
#include "batch/WindowWorker.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

MainWindowController* openDone(const QStringList& paths)
{
    MainWindowController* window = AppController::instance().showNewWindowForFiles(fileUrls(paths));
    window->processUrls(fileUrls(paths));
    waitFor([window] {
        return window->worker()->processingIsDone() && window->worker()->countToProcess() > 0;
    });
    return window;
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class StripCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        StripCommands::setFolderChooser({});
        for (MainWindowController* window : AppController::instance().windows())
            window->close();
        QTest::qWait(20);
    }

    void removeMetadataSheetWritesCopiesAndKeepsSources()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("images/et-GPS.jpg"), QStringLiteral("gps.jpg")),
            folder.add(QStringLiteral("images/et-XMP.jpg"), QStringLiteral("xmp.jpg"))};
        const QList<QByteArray> before = {digest(paths[0]), digest(paths[1])};
        MainWindowController* window = openDone(paths);
        QTemporaryDir out;
        QString asked;
        StripCommands::setFolderChooser([&](QWidget*, const QString& message) {
            asked = message;
            return out.path();
        });
        MainWindowCommands::of(window)->updateStates();
        QVERIFY(MainWindowCommands::of(window)->removeMetadataAction()->isEnabled());
        QPointer<QDialog> sheet = StripCommands::removeMetadata(window->myView(), window);
        QVERIFY(sheet);
        sheet->findChild<QCheckBox*>(QStringLiteral("xmp"))->setChecked(true);
        QPushButton* remove = nullptr;
        for (QPushButton* button : sheet->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Remove…"))
                remove = button;
        QVERIFY(remove && remove->isEnabled());
        remove->click();
        QVERIFY(waitFor([&sheet] { return !sheet || !sheet->isVisible(); }, 30000));
        QCOMPARE(asked, QStringLiteral("Select folder to save the files"));
        QCOMPARE(filesBelow(out.path()).size(), 2);
        QCOMPARE(QList<QByteArray>({digest(paths[0]), digest(paths[1])}), before);
        for (const QString& copy : filesBelow(out.path()))
            QVERIFY(digest(out.filePath(copy)) != before[0] &&
                    digest(out.filePath(copy)) != before[1]);
    }

    void removeLocationRunsWithAProgressSheet()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("paris.mp4")),
            folder.add(QStringLiteral("images/et-GPS.jpg"), QStringLiteral("gps.jpg")),
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3"))};
        QList<QByteArray> before;
        for (const QString& path : paths)
            before.append(digest(path));
        MainWindowController* window = openDone(paths);
        QTemporaryDir out;
        QPointer<QProgressDialog> progress = StripCommands::removeLocationInto(
            window->myView()->arrayWithDataForExport(), out.path(), window);
        QVERIFY(progress);
        QCOMPARE(progress->maximum(), 3);
        QVERIFY(waitFor([&progress] { return !progress; }, 60000));
        QCOMPARE(filesBelow(out.path()).size(), 3);
        QList<QByteArray> after;
        for (const QString& path : paths)
            after.append(digest(path));
        QCOMPARE(after, before);
    }

    // The explanation comes first, in a sheet of its own; the folder chooser that follows
    // carries only the command's name as its title.
    void explanationSheetThenAFolderChooserWithAShortTitle()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3"))};
        MainWindowController* window = openDone(paths);
        QTemporaryDir out;
        QStringList asked;
        StripCommands::setFolderChooser([&](QWidget*, const QString& title) {
            asked.append(title);
            return out.path();
        });
        const struct
        {
            QMessageBox* (*command)(MainView*, QWidget*);
            QString title;
            QString explanation;
            bool goOn;
        } cases[] = {
            {&StripCommands::removeLocationInfo, QStringLiteral("Remove Location Info"),
             QStringLiteral("This action does not modify any existing file."), true},
            {&StripCommands::extractAttachments, QStringLiteral("Extract Attachments"),
             QStringLiteral("This will extract embedded files"), false},
            {&StripCommands::extractAttachments, QStringLiteral("Extract Attachments"),
             QStringLiteral("This will extract embedded files"), true},
        };
        for (const auto& c : cases) {
            asked.clear();
            QPointer<QMessageBox> sheet = c.command(window->myView(), window);
            QVERIFY(sheet && sheet->isVisible());
            QVERIFY(sheet->text().startsWith(c.explanation));
            QCOMPARE(sheet->windowModality(), Qt::WindowModal);
            QVERIFY(asked.isEmpty());
            QAbstractButton* button = nullptr;
            for (QAbstractButton* b : sheet->buttons())
                if (sheet->buttonRole(b) ==
                    (c.goOn ? QMessageBox::AcceptRole : QMessageBox::RejectRole))
                    button = b;
            QVERIFY(button);
            button->click();
            QTest::qWait(50);
            QCOMPARE(asked, c.goOn ? QStringList{c.title} : QStringList{});
        }
        // The runs wrote into the chosen folder.
        QVERIFY(waitFor([&] { return !filesBelow(out.path()).isEmpty(); }, 30000));
        QVERIFY(waitFor([window] { return !window->findChild<QProgressDialog*>(); }, 30000));
    }

    void extractAttachmentsMakesAFolderPerFileWithSomething()
    {
        SampleFolder folder;
        const QStringList paths = {
            folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3")),
            folder.add(QStringLiteral("audio/stereo.wav"), QStringLiteral("plain.wav"))};
        MainWindowController* window = openDone(paths);
        QTemporaryDir out;
        QPointer<QProgressDialog> progress = StripCommands::extractAttachmentsInto(
            window->myView()->arrayWithDataForExport(), out.path(), window);
        QVERIFY(progress);
        QVERIFY(waitFor([&progress] { return !progress; }, 60000));
        const QStringList folders = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1); // the sound without a cover leaves no folder
        QVERIFY(folders.first().endsWith(QStringLiteral(" embedded")));
        QVERIFY(!filesBelow(out.filePath(folders.first())).isEmpty());
    }
};

PERSPIX_APP_TEST_MAIN(StripCommandsTest)

#include "StripCommandsTest.moc"
