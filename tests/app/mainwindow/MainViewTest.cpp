// A main view fed with real files from tests/data: the list, the results as they arrive,
// totals and progress, the busy indicator, failures, filters, drops and the copy commands.
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <unistd.h>

#include "AppTestSupport.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/FilelistModel.h"
#include "app/mainwindow/FilelistView.h"
#include "app/mainwindow/GeneralView.h"
#include "app/mainwindow/MainView.h"
#include "batch/WindowWorker.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

// A window's view and worker, without the window's menus.
struct Fixture
{
    QWidget window;
    WindowWorker worker;
    MainView* view;

    Fixture() : view(new MainView(&window)) { view->setWorker(&worker); }
    ~Fixture() { view->setWindowIsClosing(); }

    bool waitUntilDone(int timeoutMs = 30000)
    {
        return waitFor([this] { return worker.processingIsDone(); }, timeoutMs);
    }
    QStringList arrangedNames() const
    {
        QStringList names;
        for (const FilelistItemPtr& item : view->arrangedFilelist())
            names.append(item->prefixedPath());
        return names;
    }
    QStringList listNames() const
    {
        QStringList names;
        for (const FilelistItemPtr& item : view->filelist())
            names.append(item->prefixedPath());
        return names;
    }
};

// Wraps the real analysis so that every file takes a while.
Analyser slowAnalyser(int delayMs)
{
    return [delayMs](const QString& path, const QVariantMap& options,
                     taglink::TaglinkStayOpenProcess* exiftool) {
        QThread::msleep(delayMs);
        return PerspixData::dataAboutFile(path, options, exiftool);
    };
}

// The processes this test program started that are still running.
QSet<pid_t> childProcesses()
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(::getpid())});
    pgrep.waitForFinished();
    QSet<pid_t> pids;
    for (const QByteArray& pid : pgrep.readAllStandardOutput().split('\n'))
        if (!pid.isEmpty())
            pids.insert(pid_t(pid.toInt()));
    pids.remove(pid_t(pgrep.processId()));
    return pids;
}

const QRegularExpression kTotalsWithDuration(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d in "));

} // namespace

class MainViewTest : public QObject
{
    Q_OBJECT

private slots:
    void folderIsSortedFirstRowSelectedAndShown()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("clip10.mp4"));
        folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("clip2.mp4"));
        folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("Clip3.mp3"));
        Fixture f;
        f.view->processFiles({folder.url()});

        QCOMPARE(f.arrangedNames(),
                 QStringList({QStringLiteral("clip2.mp4"), QStringLiteral("Clip3.mp3"),
                              QStringLiteral("clip10.mp4")}));
        QCOMPARE(f.view->selectedRow(), 0);
        QCOMPARE(f.worker.currentFile()->prefixedPath(), QStringLiteral("clip2.mp4"));
        // Nothing has arrived yet: the results come as queued calls.
        QCOMPARE(f.view->totalsText(), QStringLiteral("3 files"));
        QVERIFY(!f.view->progressBar()->isHidden());
        QCOMPARE(f.view->progressBar()->toolTip(), QStringLiteral("0 of 3 processed"));

        QVERIFY(f.waitUntilDone());
        QVERIFY(waitFor([&] { return !f.view->generalView()->formatText().isEmpty(); }));
        QCOMPARE(f.view->generalView()->formatText(), QStringLiteral("MPEG-4"));
        QCOMPARE(f.view->generalView()->secondaryHeaderText(), QStringLiteral("Duration:"));
        QVERIFY(f.view->generalView()->streamModel()->rowCount() >= 1);
        QVERIFY(f.view->outline()->treeModel()->rowCount() >= 2);
        QVERIFY(f.view->progressBar()->isHidden());
        QVERIFY2(f.view->totalsText().contains(kTotalsWithDuration) &&
                     f.view->totalsText().endsWith(QStringLiteral(" in 3 files")) &&
                     !f.view->totalsText().startsWith(QStringLiteral("00:00:00")),
                 qPrintable(f.view->totalsText()));
        QCOMPARE(f.view->progressBar()->toolTip(), QStringLiteral("3 of 3 processed"));
    }

    // A picture whose cover needs a full decode is analysed without it; the cover is made
    // once the file is shown, and reaches both the General tab and the list row.
    void coverLeftToMakeArrivesWhenShown()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("images/IMG_5195.HEIC"), QStringLiteral("phone.heic"));
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());
        const PerspixDataPtr data = f.view->filelist().first()->data();
        QVERIFY(data && !data->generalInfo()->contains(keys::kCoverData));
        QCOMPARE(data->generalInfo()->string(keys::kCoverToMake), QStringLiteral("image"));
        CoverView* cover = f.view->generalView()->coverView();
        QVERIFY(waitFor([&] { return cover->coverFromFile(); }, 20000));
        QCOMPARE(cover->image().size(), QSize(198, 256));
        // The row's icon is drawn from the same made cover.
        QCOMPARE(FilelistModel::coverImage(data).size(), QSize(198, 256));
    }

    // Pictures smaller than a list icon (8 and 16 pixels here) get the icon of their kind,
    // not their own picture blown up to a blank square.
    void tinyPicturesShowTheIconOfTheirKind()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("images/et-IPTC.jpg"), QStringLiteral("tiny.jpg"));
        folder.add(QStringLiteral("images/et-PNG.png"), QStringLiteral("tiny.png"));
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());
        for (const FilelistItemPtr& item : f.view->filelist()) {
            const PerspixDataPtr data = item->data();
            QVERIFY(waitFor([&] { return !FilelistModel::coverImage(data).isNull(); }, 20000));
            QVERIFY(FilelistModel::coverImage(data).width() < 32);
            item->setIcon({});
            const QImage shown = f.view->filelistModel()->iconForItem(item).pixmap(32).toImage();
            const QImage kind = FilelistModel::fileIcon(item->filename())
                                    .pixmap(32)
                                    .toImage()
                                    .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            QVERIFY(!shown.isNull());
            QCOMPARE(shown, kind);
        }
    }

    void listingsBesideTheWindowKeepTheirOrder()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("b10.mp3"));
        folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("b2.mp3"));
        SampleFolder more;
        const QString x = more.add(QStringLiteral("audio/tone.flac"), QStringLiteral("x.flac"));
        Fixture f;
        // Every listing runs beside the window, and every list comes in over several turns.
        f.view->setListingLimits(0, 0);
        f.view->processFiles({folder.url()});
        f.view->processAdditionalFiles({QUrl::fromLocalFile(x)});
        QVERIFY(waitFor([&] { return f.view->filelist().size() == 3; }));
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("b2.mp3"), QStringLiteral("b10.mp3"),
                                             QStringLiteral("x.flac")}));
        QVERIFY(f.waitUntilDone());
        for (const FilelistItemPtr& item : f.view->filelist())
            QVERIFY(item->isProcessed() && item->data());
        QCOMPARE(f.view->selectedRow(), 0);

        // A new list while another is being listed replaces it for good.
        f.view->processFiles({folder.url()});
        f.view->processFiles({QUrl::fromLocalFile(x)});
        QVERIFY(
            waitFor([&] { return f.view->filelist().size() == 1 && f.worker.processingIsDone(); }));
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("x.flac")}));
        QTest::qWait(50);
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("x.flac")}));
    }

    void aBurstOfResultsRearrangesOnce()
    {
        SampleFolder folder;
        for (int i = 0; i < 12; ++i)
            folder.add(QStringLiteral("audio/tone.flac"), QStringLiteral("tone%1.flac").arg(i));
        Fixture f;
        f.view->processFiles({folder.url()});
        // Let every worker finish without running the event loop: all results queue up.
        QDeadlineTimer deadline(30000);
        while (f.view->cacher()->runningWorkers() > 0 && !deadline.hasExpired())
            QThread::msleep(5);
        const int before = f.view->arrangedModel()->rearrangeCount();
        QVERIFY(f.waitUntilDone());
        QVERIFY(waitFor([&] { return !f.view->isRearrangePending(); }));
        QCOMPARE(f.view->arrangedModel()->rearrangeCount() - before, 1);
    }

    void busyIndicatorOnlyAfterFourTenthsOfASecond()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("a.mp4"));
        folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("b.mp4"));
        folder.add(QStringLiteral("media/sydney.mov"), QStringLiteral("c.mov"));
        Fixture f;
        f.view->setAnalyser(slowAnalyser(900));
        f.view->processFiles({folder.url()});
        f.view->selectRow(2);
        QTest::qWait(250);
        QVERIFY(!f.view->isBusyIndicatorShown());
        QVERIFY(waitFor([&] { return f.view->isBusyIndicatorShown(); }, 1000));
        QVERIFY(waitFor([&] { return !f.view->generalView()->formatText().isEmpty(); }, 10000));
        QVERIFY(!f.view->isBusyIndicatorShown());
        QCOMPARE(f.worker.currentFile()->prefixedPath(), QStringLiteral("c.mov"));

        // A file whose result arrives within the delay never shows the indicator.
        Fixture quick;
        quick.view->processFiles({folder.url()});
        QVERIFY(quick.waitUntilDone());
        quick.view->selectRow(1);
        QTest::qWait(500);
        QVERIFY(!quick.view->isBusyIndicatorShown());
    }

    void failedFileShowsAtOnceWithoutNewAnalysis()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("a.mp4"));
        const QString gone = folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("b.mp4"));
        Fixture f;
        f.view->setAnalyser(slowAnalyser(200));
        LogCapture log;
        f.view->processFiles({folder.url()});
        // Removed from disk after it was listed.
        QFile::remove(gone);
        QVERIFY(f.waitUntilDone());
        QVERIFY(f.view->cacher()->isFileFailed(gone));

        f.view->selectRow(1);
        QCOMPARE(f.view->generalView()->formatText(), GeneralView::kCannotProcess);
        QCOMPARE(f.view->cacher()->runningWorkers(), 0);
        QCOMPARE(f.view->cacher()->queuedEntries(), 0);
        QTest::qWait(500);
        QVERIFY(!f.view->isBusyIndicatorShown());
        QVERIFY(log.contains(QStringLiteral("Failed to parse with MI")));
        QVERIFY2(f.view->totalsText().endsWith(QStringLiteral(" in 2 files")),
                 qPrintable(f.view->totalsText()));
    }

    // A helper killed from outside fails the file it had in hand; the window keeps every row,
    // the other files arrive, and the failed row says what happened.
    void killedHelperFailsOnlyItsFile()
    {
        SampleFolder folder;
        for (int i = 0; i < 6; ++i)
            folder.add(QStringLiteral("media/paris.mp4"), QStringLiteral("clip%1.mp4").arg(i));
        const QSet<pid_t> before = childProcesses();
        Fixture f;
        LogCapture log;
        f.view->processFiles({folder.url()});
        pid_t helper = 0;
        QVERIFY(waitFor([&] {
            const QSet<pid_t> now = childProcesses() - before;
            helper = now.isEmpty() ? 0 : *now.begin();
            return helper != 0;
        }));
        // Stopped first, so that it has a file in hand when the signal comes.
        ::kill(helper, SIGSTOP);
        QTest::qWait(300);
        ::kill(helper, SIGSEGV);
        ::kill(helper, SIGCONT);
        QVERIFY(f.waitUntilDone());

        const QString crashed =
            QStringLiteral("the reader stopped on this file (signal 11: segmentation fault)");
        int failed = -1;
        const Filelist items = f.view->filelist();
        QCOMPARE(items.size(), 6);
        for (int row = 0; row < items.size(); ++row) {
            const QString path = items[row]->filename();
            if (!f.view->cacher()->isFileFailed(path)) {
                QVERIFY2(f.view->cacher()->dataFromCacheForFile(path), qPrintable(path));
                continue;
            }
            QCOMPARE(failed, -1);
            failed = row;
            QCOMPARE(f.view->cacher()->failureOfFile(path), crashed);
            const QString shown =
                f.view->filelistModel()->data(f.view->filelistModel()->index(row)).toString();
            QVERIFY2(shown.endsWith(QStringLiteral(" (%1)").arg(crashed)), qPrintable(shown));
        }
        QVERIFY(failed >= 0);
        for (int row = 0; row < f.view->arrangedFilelist().size(); ++row) {
            if (f.view->arrangedFilelist()[row] == items[failed])
                f.view->selectRow(row);
        }
        QVERIFY(f.view->generalView()->formatText().endsWith(crashed));
    }

    void filtersAndTotalsOverVisibleFiles()
    {
        SampleFolder folder;
        folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("city.mp4"));
        folder.add(QStringLiteral("audio/song.mp3"), QStringLiteral("song.mp3"));
        folder.add(QStringLiteral("README.md"), QStringLiteral("notes.txt"));
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());
        QVERIFY(waitFor([&] { return !f.view->isRearrangePending(); }));
        const QString all = f.view->totalsText();
        QVERIFY2(all.endsWith(QStringLiteral(" in 3 files")), qPrintable(all));

        f.view->setHideUnknownFiles(true);
        QCOMPARE(f.arrangedNames(),
                 QStringList({QStringLiteral("city.mp4"), QStringLiteral("song.mp3")}));
        QVERIFY2(f.view->totalsText().endsWith(QStringLiteral(" in 2 files (of 3 total)")),
                 qPrintable(f.view->totalsText()));
        f.view->setHideUnknownFiles(false);

        f.view->fileNameSearchField()->setText(QStringLiteral("SONG"));
        QCOMPARE(f.arrangedNames(), QStringList({QStringLiteral("song.mp3")}));
        const QString songOnly = f.view->totalsText();
        QVERIFY2(songOnly.endsWith(QStringLiteral(" in 1 files (of 3 total)")),
                 qPrintable(songOnly));
        // The total covers the visible file only.
        QVERIFY(songOnly.left(8) != all.left(8));
        QCOMPARE(f.worker.currentFile()->prefixedPath(), QStringLiteral("song.mp3"));
        QTest::keyClick(f.view->fileNameSearchField(), Qt::Key_Escape);
        QCOMPARE(f.arrangedNames().size(), 3);

        // The global search looks into every file's metadata, on Return.
        f.view->globalSearchField()->setText(QStringLiteral("avc"));
        QCOMPARE(f.arrangedNames().size(), 3);
        QTest::keyClick(f.view->globalSearchField(), Qt::Key_Return);
        QCOMPARE(f.arrangedNames(), QStringList({QStringLiteral("city.mp4")}));
        f.view->globalSearchField()->clear();
        QCOMPARE(f.arrangedNames().size(), 3);

        f.view->fileNameSearchField()->setText(QStringLiteral("nothing like this"));
        QCOMPARE(f.arrangedNames().size(), 0);
        QVERIFY2(f.view->totalsText().startsWith(QStringLiteral("00:00:00 in 0 files (of 3")),
                 qPrintable(f.view->totalsText()));
        QVERIFY(!f.worker.currentFile());
    }

    void droppingAtRowTwoOfFiveInsertsBetweenSecondAndThird()
    {
        SampleFolder folder;
        QStringList names = {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"),
                             QStringLiteral("c.mp3"), QStringLiteral("d.mp3"),
                             QStringLiteral("e.mp3")};
        for (const QString& name : names)
            folder.add(QStringLiteral("audio/song.mp3"), name);
        SampleFolder dropped;
        const QString x = dropped.add(QStringLiteral("audio/tone.flac"), QStringLiteral("x.flac"));
        // The second as a file manager drops a name that is not UTF-8: percent-encoded bytes.
        const QString y =
            dropped.add(QStringLiteral("audio/tone.flac"), NativePath::decoded("y\xe9.flac"));
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());

        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"),
                     "file://" + NativePath::encoded(x).toPercentEncoding("/") + "\r\nfile://" +
                         NativePath::encoded(y).toPercentEncoding("/") + "\r\n");
        DropRequest request;
        request.urls = mime.urls();
        request.row = 2;
        QCOMPARE(f.view->validateDrop(request), Qt::CopyAction);
        QVERIFY(f.view->acceptDrop(request));
        QVERIFY(waitFor([&] { return f.view->filelist().size() == 7; }, 2000));
        QCOMPARE(f.listNames(),
                 QStringList({QStringLiteral("a.mp3"), QStringLiteral("b.mp3"),
                              QStringLiteral("x.flac"), y.section('/', -1), QStringLiteral("c.mp3"),
                              QStringLiteral("d.mp3"), QStringLiteral("e.mp3")}));
        QVERIFY(f.waitUntilDone());
        QCOMPARE(f.worker.countProcessed(), 2);
        QVERIFY(f.view->filelist()[3]->data() && f.view->filelist()[3]->data()->isAudio());

        // Shift (the replace gesture) goes to the end and replaces the list.
        DropRequest replace;
        replace.urls = fileUrls({x});
        replace.row = 1;
        replace.mask = dragmask::fromModifiers(Qt::ShiftModifier);
        QCOMPARE(f.view->validateDrop(replace), Qt::MoveAction);
        QCOMPARE(replace.row, 7);
        QVERIFY(f.view->acceptDrop(replace));
        QVERIFY(waitFor([&] { return f.view->filelist().size() == 1; }, 2000));
    }

    void movingOneRowInsideTheListAndRefusingSeveral()
    {
        SampleFolder folder;
        for (const QString& name : {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"),
                                    QStringLiteral("c.mp3"), QStringLiteral("d.mp3")})
            folder.add(QStringLiteral("audio/song.mp3"), name);
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());
        f.view->selectRow(3);

        DropRequest move;
        move.ownRows = true;
        move.source = f.view;
        move.sourceRows = {3};
        move.row = 1;
        QCOMPARE(f.view->validateDrop(move), Qt::MoveAction);
        QVERIFY(f.view->acceptDrop(move));
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("a.mp3"), QStringLiteral("d.mp3"),
                                             QStringLiteral("b.mp3"), QStringLiteral("c.mp3")}));
        // The moved file stays selected.
        QCOMPARE(f.worker.currentFile()->prefixedPath(), QStringLiteral("d.mp3"));
        QCOMPARE(f.view->selectedRow(), 1);

        // Down the list: the row lands before the drop row.
        move.sourceRows = {0};
        move.row = 3;
        QVERIFY(f.view->acceptDrop(move));
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("d.mp3"), QStringLiteral("b.mp3"),
                                             QStringLiteral("a.mp3"), QStringLiteral("c.mp3")}));

        LogCapture log;
        move.sourceRows = {0, 1};
        QVERIFY(!f.view->acceptDrop(move));
        QVERIFY(log.contains(QStringLiteral("moving multiple files is not supported yet")));
        QCOMPARE(f.listNames().first(), QStringLiteral("d.mp3"));
    }

    void removingRowsUpdatesCountsAndTotals()
    {
        SampleFolder folder;
        for (const QString& name :
             {QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")})
            folder.add(QStringLiteral("audio/song.mp3"), name);
        Fixture f;
        f.view->processFiles({folder.url()});
        QVERIFY(f.waitUntilDone());
        const QString before = f.view->totalsText();
        f.view->selectRow(0);
        f.view->removeSelectedRows();
        QCOMPARE(f.listNames(), QStringList({QStringLiteral("b.mp3"), QStringLiteral("c.mp3")}));
        QCOMPARE(f.worker.countProcessed(), 2);
        QCOMPARE(f.worker.countToProcess(), 2);
        QVERIFY2(f.view->totalsText().endsWith(QStringLiteral(" in 2 files")),
                 qPrintable(f.view->totalsText()));
        QVERIFY(f.view->totalsText() != before);
        QCOMPARE(f.worker.currentFile()->prefixedPath(), QStringLiteral("b.mp3"));
    }

    void copyCommandsPutTextAndHtml()
    {
        SampleFolder folder;
        const QString film =
            folder.add(QStringLiteral("media/nyc.mp4"), QStringLiteral("<city>.mp4"));
        Fixture f;
        f.view->processFiles({QUrl::fromLocalFile(film)});
        QVERIFY(f.waitUntilDone());
        QVERIFY(waitFor([&] { return f.view->currentData() != nullptr; }));

        f.view->copyGeneralInfo();
        const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("<city>.mp4"));
        QCOMPARE(lines.value(1), QStringLiteral("----------"));
        QVERIFY(lines.value(2).startsWith(QStringLiteral("Container: MPEG-4, ")));

        // The File group and its first line.
        ExtendedOutline* outline = f.view->outline();
        const QModelIndex group = outline->treeModel()->index(0, 0);
        const QModelIndex firstLine = outline->treeModel()->index(0, 0, group);
        outline->selectionModel()->select(group,
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        outline->selectionModel()->select(firstLine,
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.view->copyExtendedRows();
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        const ExtTreeItemPtr line = outline->treeModel()->itemForIndex(firstLine);
        QCOMPARE(mime->text(), QStringLiteral("File\n") + line->extValue());
        QVERIFY(mime->html().startsWith(QStringLiteral(
            "<table cellspacing=0><tr><td><b>File</b></td><td></td></tr>\n<tr><td>")));
        QVERIFY(mime->html().contains(QStringLiteral("&lt;city&gt;.mp4")));
        QVERIFY(mime->html().endsWith(QStringLiteral("</td></tr></table>")));

        // A clicked row outside the selection is copied alone.
        const QModelIndex other = outline->treeModel()->index(1, 0, group);
        f.view->copyExtendedRows(other);
        QCOMPARE(QApplication::clipboard()->text(),
                 outline->treeModel()->itemForIndex(other)->extValue());
    }

    void closingWhileWorkersRunDropsLateResults()
    {
        SampleFolder folder;
        for (int i = 0; i < 40; ++i)
            folder.add(QStringLiteral("audio/tone.flac"), QStringLiteral("t%1.flac").arg(i));
        auto f = std::make_unique<Fixture>();
        f->view->setAnalyser(slowAnalyser(100));
        f->view->processFiles({folder.url()});
        QTest::qWait(150);
        QElapsedTimer timer;
        timer.start();
        f->view->setWindowIsClosing();
        // At most one analysis per worker is still finished.
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        const qint64 processed = f->worker.countProcessed();
        QTest::qWait(300);
        QCOMPARE(f->worker.countProcessed(), processed);
        QVERIFY(!f->worker.processingIsDone());
        f.reset();
    }
};

PERSPIX_APP_TEST_MAIN(MainViewTest)
#include "MainViewTest.moc"
