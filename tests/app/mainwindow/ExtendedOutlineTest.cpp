// The extended outline keeps the groups open or closed as the user left them across files,
// and a Ctrl-click on an arrow expands or collapses every group.
#include <QHeaderView>
#include <QSignalSpy>

#include "AppTestSupport.h"
#include "app/mainwindow/ExtTreeModel.h"
#include "app/mainwindow/ExtendedOutline.h"
#include "app/mainwindow/ExtendedOutlineDelegate.h"
#include "app/mainwindow/OutlineDelegate.h"
#include "app/TextBreaks.h"

using namespace perspix;

namespace {

ExtTreeItemPtr group(const QString& key, const QString& name, quint64 index,
                     const ExtTreeList& children = {})
{
    ExtTreeList kids = children;
    if (kids.isEmpty())
        kids.append(ExtTreeItem::itemWithKey(QStringLiteral("Format"), QStringLiteral("Format"),
                                             QStringLiteral("AVC")));
    return ExtTreeItem::groupTreeWithKey(key, name, kids, index);
}

// A film: File, Container, Video, Audio #1, Audio #2.
ExtTreeList film()
{
    return {group(QStringLiteral("File"), QStringLiteral("File"), 0),
            group(QStringLiteral("Container"), QStringLiteral("Container"), 0),
            group(QStringLiteral("Video"), QStringLiteral("Video"), 0),
            group(QStringLiteral("Audio"), QStringLiteral("Audio #1"), 1),
            group(QStringLiteral("Audio"), QStringLiteral("Audio #2"), 2)};
}

// The names of the top-level groups that are open.
QStringList openGroups(ExtendedOutline& outline)
{
    QStringList open;
    auto* model = outline.treeModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (outline.isExpanded(index))
            open.append(index.data().toString());
    }
    return open;
}

QModelIndex rowNamed(ExtendedOutline& outline, const QString& name)
{
    auto* model = outline.treeModel();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data().toString() == name)
            return model->index(row, 0);
    return {};
}

// Clicks the disclosure arrow of a top-level row.
void clickArrow(ExtendedOutline& outline, const QModelIndex& index, Qt::KeyboardModifiers mods)
{
    const QRect rect = outline.visualRect(index);
    const QPoint arrow(rect.left() - outline.indentation() / 2, rect.center().y());
    QTest::mouseClick(outline.viewport(), Qt::LeftButton, mods, arrow);
}

} // namespace

class ExtendedOutlineTest : public QObject
{
    Q_OBJECT

private slots:
    void treeIdentifiers()
    {
        QCOMPARE(ExtendedOutlineDelegate::treeIdForItem(film()[0]), QStringLiteral("File"));
        QCOMPARE(ExtendedOutlineDelegate::treeIdForItem(film()[4]), QStringLiteral("Audio2"));
        const auto line = ExtTreeItem::itemWithKey(QStringLiteral("Format"),
                                                   QStringLiteral("Format"), QStringLiteral("x"));
        QVERIFY(ExtendedOutlineDelegate::treeIdForItem(line).isEmpty());
    }

    void collapsedGroupStaysCollapsedForTheNextFile()
    {
        ExtendedOutline outline;
        ExtendedOutlineDelegate state;
        outline.setStateDelegate(&state);
        outline.resize(500, 400);
        outline.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outline));

        outline.setContent(film());
        QCOMPARE(openGroups(outline).size(), 5);
        clickArrow(outline, rowNamed(outline, QStringLiteral("Video")), Qt::NoModifier);
        QVERIFY(!outline.isExpanded(rowNamed(outline, QStringLiteral("Video"))));

        // Another file with a video stream: only its Video group is closed.
        outline.setContent(film());
        QCOMPARE(openGroups(outline),
                 QStringList({QStringLiteral("File"), QStringLiteral("Container"),
                              QStringLiteral("Audio #1"), QStringLiteral("Audio #2")}));

        // Opening it again by hand forgets the choice.
        clickArrow(outline, rowNamed(outline, QStringLiteral("Video")), Qt::NoModifier);
        outline.setContent(film());
        QCOMPARE(openGroups(outline).size(), 5);
    }

    void ctrlClickCollapsesAllThenOpenedGroupIsRemembered()
    {
        ExtendedOutline outline;
        ExtendedOutlineDelegate state;
        outline.setStateDelegate(&state);
        outline.resize(500, 400);
        outline.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outline));
        outline.setContent(film());

        clickArrow(outline, rowNamed(outline, QStringLiteral("Audio #1")), Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return openGroups(outline).isEmpty(); }, 2000));
        QCOMPARE(state.treesMode(), int(ExtendedOutlineDelegate::GroupsClosed));

        clickArrow(outline, rowNamed(outline, QStringLiteral("Container")), Qt::NoModifier);
        outline.setContent(film());
        QCOMPARE(openGroups(outline), QStringList({QStringLiteral("Container")}));

        // Ctrl-click again opens everything and forgets the exceptions.
        clickArrow(outline, rowNamed(outline, QStringLiteral("File")), Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return openGroups(outline).size() == 5; }, 2000));
        QVERIFY(state.excludedTrees().isEmpty());
    }

    void treeWithoutRememberedGroupsFollowsTheMode()
    {
        ExtendedOutline outline;
        ExtendedOutlineDelegate state;
        outline.setStateDelegate(&state);
        outline.setContent(film());
        outline.requestExpanded(rowNamed(outline, QStringLiteral("Video")), false);

        const ExtTreeList image = {group(QStringLiteral("File"), QStringLiteral("File"), 0),
                                   group(QStringLiteral("EXIF"), QStringLiteral("EXIF"), 0)};
        outline.setContent(image);
        QCOMPARE(openGroups(outline).size(), 2);

        state.collapseAllIn(&outline);
        outline.setContent(image);
        QVERIFY(openGroups(outline).isEmpty());
    }

    void keyboardAndDoubleClickGoThroughTheMemory()
    {
        ExtendedOutline outline;
        ExtendedOutlineDelegate state;
        outline.setStateDelegate(&state);
        outline.resize(500, 400);
        outline.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outline));
        outline.setContent(film());

        outline.setCurrentIndex(rowNamed(outline, QStringLiteral("Audio #2")));
        QTest::keyClick(&outline, Qt::Key_Left);
        QVERIFY(state.excludedTrees().contains(QStringLiteral("Audio2")));

        const QRect rect = outline.visualRect(rowNamed(outline, QStringLiteral("File")));
        QTest::mouseDClick(outline.viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(state.excludedTrees().contains(QStringLiteral("File")));

        outline.setContent(film());
        QCOMPARE(openGroups(outline),
                 QStringList({QStringLiteral("Container"), QStringLiteral("Video"),
                              QStringLiteral("Audio #1")}));
    }

    void breakOpportunitiesOnlyWhereAReaderExpectsThem()
    {
        const QString zw(QChar(0x200B));
        const std::pair<QString, QString> cases[] = {
            {"com.apple.quicktime.make", "com." + zw + "apple." + zw + "quicktime." + zw + "make"},
            {"+48.8577+002.2950+035.000/", "+48.8577" + zw + "+002.2950" + zw + "+035.000/" + zw},
            {"Tuesday, 8 December 2026 03:17:30", "Tuesday, 8 December 2026 03:17:30"},
            {"1.5 Mb/s", "1.5 Mb/s"},
            {"AAC, 32.0 kb/s, 2 channels", "AAC, 32.0 kb/s, 2 channels"},
            {"images/ab/c.jpg", "images/" + zw + "ab/" + zw + "c." + zw + "jpg"},
            {"-12.5", "-12.5"},
            {"", ""},
        };
        for (const auto& [text, expected] : cases)
            QCOMPARE(withBreakOpportunities(text), expected);
    }

    void wrappedRowsGrowWithTheirText()
    {
        ExtendedOutline outline;
        outline.resize(420, 400);
        outline.header()->resizeSection(0, 150);
        outline.show();
        QVERIFY(QTest::qWaitForWindowExposed(&outline));
        const QString longValue = QStringLiteral("word ").repeated(80);
        outline.setContent(
            {group(QStringLiteral("File"), QStringLiteral("File"), 0,
                   {ExtTreeItem::itemWithKey(QStringLiteral("A"), QStringLiteral("A"),
                                             QStringLiteral("short")),
                    ExtTreeItem::itemWithKey(QStringLiteral("B"), QStringLiteral("B"), longValue),
                    ExtTreeItem::itemWithKey(QStringLiteral("C"),
                                             QStringLiteral("com.apple.quicktime.location.ISO6709"),
                                             QStringLiteral("+59.3293+018.0686/"))})});
        const QModelIndex file = rowNamed(outline, QStringLiteral("File"));
        const QModelIndex shortRow = outline.treeModel()->index(0, 1, file);
        const QModelIndex longRow = outline.treeModel()->index(1, 1, file);
        const int shortHeight = outline.visualRect(shortRow).height();
        const int wrapped = outline.visualRect(longRow).height();
        QVERIFY2(wrapped > 4 * shortHeight,
                 qPrintable(QStringLiteral("%1 vs %2").arg(wrapped).arg(shortHeight)));

        // A dotted name without blanks, wider than its column, wraps at its dots instead of
        // being cut off.
        const QModelIndex dottedName = outline.treeModel()->index(2, 0, file);
        QVERIFY(outline.visualRect(dottedName).height() > shortHeight);

        // A wider value column needs fewer lines.
        outline.resize(900, 400);
        QTest::qWait(50);
        QVERIFY(outline.visualRect(longRow).height() < wrapped);

        outline.rowDelegate()->setWrapLongLines(false);
        QTest::qWait(50);
        QCOMPARE(outline.visualRect(longRow).height(), shortHeight);
    }
};

PERSPIX_APP_TEST_MAIN(ExtendedOutlineTest)
#include "ExtendedOutlineTest.moc"
