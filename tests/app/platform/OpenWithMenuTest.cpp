// The open-with menu against GIO with desktop entries written into a temporary data folder
// (the system's own applications are kept out): duplicate names, the default entry, a type
// no application opens, no rebuild for the same file, and launching.
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>

#include "AppTestSupport.h"
#include "app/platform/GioApplications.h"
#include "app/platform/OpenWithMenu.h"

using namespace perspix;
using namespace perspix::apptest;

namespace {

QTemporaryDir* s_xdg = nullptr;

QString xdgPath(const QString& relative)
{
    return s_xdg->filePath(relative);
}

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void writeEntry(const QString& id, const QString& name, const QString& extra,
                const QString& exec = QStringLiteral("/bin/true %f"))
{
    writeFile(xdgPath(QStringLiteral("data/applications/") + id),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                             "MimeType=image/jpeg;\n%3")
                  .arg(name, exec, extra)
                  .toUtf8());
}

QStringList titles(QMenu* menu)
{
    QStringList result;
    for (QAction* action : menu->actions())
        result.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return result;
}

} // namespace

class OpenWithMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        writeEntry(QStringLiteral("viewer-one.desktop"), QStringLiteral("Viewer"),
                   QStringLiteral("X-AppVersion=1.4\n"));
        writeEntry(QStringLiteral("viewer-two.desktop"), QStringLiteral("Viewer"),
                   QStringLiteral("X-AppVersion=2.0\n"));
        writeEntry(QStringLiteral("alpha.desktop"), QStringLiteral("alpha Paint"), QString());
        const QString copy = xdgPath(QStringLiteral("launched.jpg"));
        writeEntry(QStringLiteral("copier.desktop"), QStringLiteral("Copier"), QString(),
                   QStringLiteral("/bin/cp %f ") + copy);
        writeFile(xdgPath(QStringLiteral("config/mimeapps.list")),
                  "[Default Applications]\nimage/jpeg=copier.desktop\n");
        QCOMPARE(QProcess::execute(QStringLiteral("update-desktop-database"),
                                   {xdgPath(QStringLiteral("data/applications"))}),
                 0);
    }

    void menuListsDefaultFirstAndTellsDuplicatesApart()
    {
        QMenu menu;
        OpenWithMenuHelper helper(&menu);
        helper.setFilename(dataPath(QStringLiteral("images/Canon_40D.jpg")));
        QVERIFY(helper.isChanged());
        emit menu.aboutToShow();
        QCOMPARE(titles(&menu),
                 (QStringList{QStringLiteral("Copier (default)"), QStringLiteral("---"),
                              QStringLiteral("alpha Paint"), QStringLiteral("Viewer (1.4)"),
                              QStringLiteral("Viewer (2.0)")}));
        QCOMPARE(menu.actions().first()->data().toString(), QStringLiteral("copier.desktop"));
        QVERIFY(menu.actions().first()->toolTip().endsWith(QStringLiteral("copier.desktop")));

        // Shown again for the same file (also through a symbolic link): not rebuilt.
        const QList<QAction*> before = menu.actions();
        const QString link = xdgPath(QStringLiteral("link.jpg"));
        QVERIFY(QFile::link(dataPath(QStringLiteral("images/Canon_40D.jpg")), link));
        helper.setFilename(link);
        QVERIFY(!helper.isChanged());
        emit menu.aboutToShow();
        QCOMPARE(menu.actions(), before);
    }

    void fileOfUnknownTypeShowsNone()
    {
        const QString path = xdgPath(QStringLiteral("noise"));
        writeFile(path, QByteArray("\x01\x02\x03\xff\xfe binary", 13));
        QMenu menu;
        OpenWithMenuHelper helper(&menu);
        helper.setFilename(path);
        emit menu.aboutToShow();
        QCOMPARE(titles(&menu), QStringList{OpenWithMenuHelper::kNone});
        QVERIFY(!menu.actions().first()->isEnabled());

        // No file (no clicked row): an empty menu.
        helper.setFilename(QString());
        emit menu.aboutToShow();
        QVERIFY(menu.actions().isEmpty());
    }

    void entriesTellNamesApartByVersionElseByFileId()
    {
        const auto app = [](const QString& id, const QString& name, const QString& version,
                            const QString& spec) {
            return ApplicationEntry{id, name, QStringLiteral("/apps/") + id, version, spec, {}};
        };
        struct Case
        {
            QList<ApplicationEntry> apps;
            std::optional<ApplicationEntry> defaultApp;
            QStringList expected;
        };
        const QList<Case> cases = {
            // Same entry version key: the file ids tell them apart.
            {{app("b.desktop", "Tool", "", "1.0"), app("a.desktop", "Tool", "", "1.0")},
             std::nullopt,
             {"Tool (a)", "Tool (b)"}},
            // Different version keys, and the default sharing the name.
            {{app("x.desktop", "Tool", "", "1.0"), app("y.desktop", "Tool", "", "1.5")},
             app("y.desktop", "Tool", "", "1.5"),
             {"Tool (1.5) (default)", "Tool (1.0)"}},
            // No name: the entry's file name; sorting ignores case.
            {{app("z.desktop", "", "", ""), app("m.desktop", "Mid", "", "")},
             std::nullopt,
             {"Mid", "z.desktop"}},
        };
        for (const Case& c : cases) {
            QStringList got;
            for (const OpenWithEntry& entry : OpenWithMenuHelper::entriesFor(c.apps, c.defaultApp))
                got.append(entry.title);
            QCOMPARE(got, c.expected);
        }
    }

    void pickingAnApplicationOpensTheFileWithIt()
    {
        QMenu menu;
        OpenWithMenuHelper helper(&menu);
        const QString source = dataPath(QStringLiteral("images/BlueSquare.jpg"));
        helper.setFilename(source);
        emit menu.aboutToShow();
        QAction* copier = menu.actions().first();
        QCOMPARE(copier->data().toString(), QStringLiteral("copier.desktop"));
        copier->trigger();
        const QString copy = xdgPath(QStringLiteral("launched.jpg"));
        QVERIFY(waitFor([&copy] { return QFileInfo(copy).size() > 0; }, 10000));
        QFile a(source);
        QFile b(copy);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());
    }
};

int main(int argc, char** argv)
{
    // GIO reads the data folders once: they must point at ours before anything asks.
    s_xdg = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/perspix-openwith-XXXXXX"));
    ::setenv("XDG_DATA_HOME", s_xdg->filePath(QStringLiteral("data")).toUtf8().constData(), 1);
    // The system's MIME database (for the file types) but none of its applications.
    QDir().mkpath(s_xdg->filePath(QStringLiteral("system")));
    QFile::link(QStringLiteral("/usr/share/mime"), s_xdg->filePath(QStringLiteral("system/mime")));
    ::setenv("XDG_DATA_DIRS", s_xdg->filePath(QStringLiteral("system")).toUtf8().constData(), 1);
    perspix::apptest::prepareEnvironment();
    ::setenv("XDG_CONFIG_HOME", s_xdg->filePath(QStringLiteral("config")).toUtf8().constData(), 1);
    ::setenv("XDG_CONFIG_DIRS", s_xdg->filePath(QStringLiteral("sysconfig")).toUtf8().constData(),
             1);
    QApplication app(argc, argv);
    perspix::apptest::initializeApplication();
    OpenWithMenuTest test;
    const int result = QTest::qExec(&test, argc, argv);
    delete s_xdg;
    return result;
}

#include "OpenWithMenuTest.moc"
