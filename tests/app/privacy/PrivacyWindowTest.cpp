// The privacy report window: a row per file of the active window with its categories,
// following the window as results arrive and as another window becomes active, and the
// Remove… button opening the remove-metadata sheet with the privacy removal chosen.
#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "app/AppController.h"
#include "app/mainwindow/ArrangedFilelistModel.h"
#include "app/mainwindow/MainView.h"
#include "app/mainwindow/MainWindowController.h"
#include "app/privacy/PrivacyWindowController.h"
#include "batch/WindowWorker.h"

using namespace perspix;

namespace {

MainWindowController* openWindow(const QStringList& relativePaths)
{
    QList<QUrl> urls;
    for (const QString& path : relativePaths)
        urls.append(QUrl::fromLocalFile(apptest::dataPath(path)));
    MainWindowController* window = AppController::instance().showNewWindowForFiles(urls);
    window->processUrls(urls);
    return window;
}

int rowOf(QTableWidget* table, const QString& name)
{
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0) && table->item(r, 0)->text().endsWith(name))
            return r;
    return -1;
}

int columnOf(QTableWidget* table, const QString& category)
{
    for (int c = 0; c < table->columnCount(); ++c)
        if (table->horizontalHeaderItem(c)->text() == category)
            return c;
    return -1;
}

void activate(QWidget* window)
{
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    apptest::waitFor([&] { return QApplication::activeWindow() == window; }, 2000);
}

} // namespace

class PrivacyWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void followsTheActiveWindowAndRemoves()
    {
        QPointer<MainWindowController> first =
            openWindow({QStringLiteral("images/privacy-people.jpg"),
                        QStringLiteral("media/paris.mp4"), QStringLiteral("audio/stereo.wav")});
        activate(first);
        PrivacyWindowController& privacy = PrivacyWindowController::sharedInstance();
        privacy.showSharedPrivacyWindow();
        QTableWidget* table = privacy.table();
        QVERIFY(apptest::waitFor([&] { return table->rowCount() == 3; }));

        // Results arrive after the window is shown: it follows them.
        const int location = columnOf(table, QStringLiteral("location"));
        const int shown = columnOf(table, QStringLiteral("people-shown"));
        // A row names its file alone once the file is analysed: all three, not the first only.
        QVERIFY(apptest::waitFor([&] {
            const int row = rowOf(table, QStringLiteral("paris.mp4"));
            return row >= 0 && table->item(row, location)->text().startsWith("high") &&
                   rowOf(table, QStringLiteral("privacy-people.jpg")) >= 0 &&
                   rowOf(table, QStringLiteral("stereo.wav")) >= 0;
        }));
        const int people = rowOf(table, QStringLiteral("privacy-people.jpg"));
        QVERIFY(table->item(people, shown)->text().startsWith("high"));
        QVERIFY(
            table->item(rowOf(table, QStringLiteral("stereo.wav")), location)->text().isEmpty());

        // The selected file's findings below.
        table->selectRow(people);
        QVERIFY(privacy.findingsView()->topLevelItemCount() > 5);
        // The removal is named as the sheet names it, not by the command line's option.
        QVERIFY(!privacy.findingsView()->findItems(QStringLiteral("Privacy"), Qt::MatchExactly, 4)
                     .isEmpty());
        QVERIFY(privacy.findingsView()
                    ->findItems(QStringLiteral("--strip"), Qt::MatchContains | Qt::MatchRecursive, 4)
                    .isEmpty());
        QVERIFY(privacy.removeButton()->isEnabled());

        // Remove… opens the sheet with the privacy removal chosen and the location not.
        QPointer<QWidget> sheet = privacy.removeSelected();
        QVERIFY(sheet);
        QVERIFY(sheet->findChild<QCheckBox*>(QStringLiteral("privacy"))->isChecked());
        QVERIFY(!sheet->findChild<QCheckBox*>(QStringLiteral("gps"))->isChecked());
        // The privacy removal goes alone: ticking a part unticks it.
        sheet->findChild<QCheckBox*>(QStringLiteral("gps"))->setChecked(true);
        QVERIFY(!sheet->findChild<QCheckBox*>(QStringLiteral("privacy"))->isChecked());
        sheet->close();

        // Another window becoming active: its files.
        QPointer<MainWindowController> second = openWindow({QStringLiteral("images/DSCN0010.jpg")});
        activate(second);
        QVERIFY(apptest::waitFor([&] {
            return privacy.followedWindow() == second.data() && table->rowCount() == 1 &&
                   table->item(0, location)->text().startsWith("high");
        }));
        second->close();
        first->close();
    }
};

PERSPIX_APP_TEST_MAIN(PrivacyWindowTest)
#include "PrivacyWindowTest.moc"
