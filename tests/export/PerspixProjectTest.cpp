#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "export/ExportTestSupport.h"
#include "export/PerspixProject.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PropertyList.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray xmlPlist(const QVariant& value)
{
    return PropertyList::toXml(value).value_or(QByteArray());
}

QVariantMap entry(const QString& file)
{
    return {{"file", file}};
}

} // namespace

TEST(PerspixProject, RoundTrip)
{
    TempDir dir;
    const QStringList files = {dir.copyData("audio/tone.flac"),
                               dir.copyData("images/Crémieux11.tiff"), "/nowhere/not there yet.mov",
                               NativePath::decoded("/nowhere/caf\xe9.jpg")};
    auto project = PerspixProject::projectWithFilelist(files);
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->projectUrl().isEmpty());
    EXPECT_TRUE(project->projectName().isEmpty());

    const QString path = dir.filePath("My list.perspixproj");
    QString error;
    LogCapture log;
    ASSERT_TRUE(project->saveToUrl(QUrl::fromLocalFile(path), true, &error));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join("\n").toStdString();
    EXPECT_EQ(project->projectName(), "My list");
    EXPECT_EQ(project->projectUrl(), QUrl::fromLocalFile(path));

    const auto reopened = PerspixProject::projectWithUrl(QUrl::fromLocalFile(path));
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->projectName(), "My list");
    QList<QUrl> expected;
    for (const QString& f : files)
        expected.append(NativePath::url(f));
    EXPECT_EQ(reopened->documents(), expected);

    // The file is an XML property list a standard reader understands: one "file" per
    // document, no bookmark; a name that is not UTF-8 is shown there, its bytes beside it.
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("<?xml"));
    const auto python = runPython(QStringLiteral(R"(
import sys, json, plistlib
print(json.dumps(plistlib.loads(sys.stdin.buffer.read()), default=lambda b: b.hex()))
)"),
                                  bytes);
    if (python) {
        ASSERT_EQ(python->exitCode, 0) << python->err.constData();
        QJsonArray docs;
        for (const QString& f : files)
            docs.append(NativePath::isText(f)
                            ? QJsonObject{{"file", f}}
                            : QJsonObject{{"file", NativePath::shown(f)},
                                          {"fileBytes", QString(NativePath::encoded(f).toHex())}});
        EXPECT_EQ(QJsonDocument::fromJson(python->out).object(),
                  (QJsonObject{{"documents", docs}}));
    }

    // Saving again over the same file replaces its list.
    reopened->setDocuments(QList<QUrl>{expected[2]});
    ASSERT_TRUE(reopened->saveToUrl(QUrl::fromLocalFile(path), false));
    EXPECT_EQ(PerspixProject::projectWithUrl(QUrl::fromLocalFile(path))->documents(),
              QList<QUrl>{expected[2]});
}

TEST(PerspixProject, Reading)
{
    TempDir dir;
    const QString existing = dir.copyData("audio/tone.flac");
    struct Case
    {
        const char* name;
        QByteArray bytes;
        std::optional<QStringList> documents; // as paths
        QStringList log;
    };
    const Case cases[] = {
        {"not a property list",
         "this is not a plist",
         std::nullopt,
         {"Failed to unserialize project file: "}},
        {"root is an array",
         xmlPlist(QVariantList{entry("/a")}),
         std::nullopt,
         {"Incorrect project contents: root is not a dict"}},
        {"no documents",
         xmlPlist(QVariantMap{{"files", QVariantList{}}}),
         std::nullopt,
         {"Incorrect project contents: no documents section"}},
        {"documents not a list",
         xmlPlist(QVariantMap{{"documents", "x"}}),
         std::nullopt,
         {"Incorrect project contents: no documents section"}},
        {"empty list", xmlPlist(QVariantMap{{"documents", QVariantList{}}}), QStringList{}, {}},
        {"a file listed twice",
         xmlPlist(QVariantMap{
             {"documents", QVariantList{entry("/m/a.mov"), entry("/m/b.mov"), entry("/m/a.mov")}}}),
         QStringList{"/m/a.mov", "/m/b.mov"},
         {"Ignore duplicate document: /m/a.mov"}},
        {"a bookmark that cannot be resolved, though its file exists",
         xmlPlist(QVariantMap{{"documents", QVariantList{QVariantMap{{"file", existing},
                                                                     {"ssb", QByteArray("book")}},
                                                         entry("/m/b.mov")}}}),
         QStringList{"/m/b.mov"},
         {"Failed to resolve bookmark data, skip: "}},
        {"entries that are not records, or hold no path, are passed over",
         xmlPlist(QVariantMap{{"documents", QVariantList{"/m/a.mov", 7, QVariantMap{}, entry(""),
                                                         entry("/m/c.mov")}},
                              {"other", "ignored"}}),
         QStringList{"/m/c.mov"},
         {}},
        {"a binary property list, relative paths from the project's folder",
         PropertyList::toBinary(QVariantMap{{"documents", QVariantList{entry("tone.flac")}}})
             .value_or(QByteArray()),
         QStringList{existing},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.write("case.perspixproj", c.bytes);
        LogCapture log;
        const auto project = PerspixProject::projectWithUrl(QUrl::fromLocalFile(path));
        ASSERT_TRUE(project);
        EXPECT_EQ(project->projectName(), "case");
        std::optional<QStringList> documents;
        if (const auto urls = project->documents()) {
            documents = QStringList{};
            for (const QUrl& url : *urls)
                documents->append(url.toLocalFile());
        }
        EXPECT_EQ(documents, c.documents);
        ASSERT_EQ(log.lines().size(), c.log.size()) << log.lines().join("\n").toStdString();
        for (qsizetype i = 0; i < c.log.size(); ++i)
            EXPECT_TRUE(log.lines()[i].startsWith(c.log[i])) << log.lines()[i].toStdString();
    }

    // A project file that is not there.
    LogCapture log;
    const auto missing =
        PerspixProject::projectWithUrl(QUrl::fromLocalFile(dir.filePath("gone.perspixproj")));
    EXPECT_FALSE(missing->documents().has_value());
    EXPECT_TRUE(log.contains("Failed to read project file: "));
    EXPECT_FALSE(PerspixProject::projectWithUrl(QUrl()));
    EXPECT_FALSE(PerspixProject::projectWithFilelist(std::nullopt));
}

TEST(PerspixProject, SavingFailures)
{
    TempDir dir;
    // No documents: nothing written, failure reported, the file made for it stays empty.
    auto empty = PerspixProject::projectWithFilelist(QStringList{});
    const QString path = dir.filePath("empty.perspixproj");
    QString error = "untouched";
    EXPECT_FALSE(empty->saveToUrl(QUrl::fromLocalFile(path), false, &error));
    EXPECT_EQ(error, "untouched"); // no writer error to report
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(readFile(path), "");
    EXPECT_TRUE(empty->projectUrl().isEmpty());

    // A folder that does not exist: the writer's reason.
    auto project = PerspixProject::projectWithFilelist(QStringList{"/m/a.mov"});
    EXPECT_FALSE(project->saveToUrl(QUrl::fromLocalFile(dir.filePath("missing/p.perspixproj")),
                                    false, &error));
    EXPECT_NE(error, "untouched");
    EXPECT_TRUE(project->projectUrl().isEmpty());

    // Text a property list cannot hold is logged, not written.
    auto nul = PerspixProject::projectWithFilelist(QStringList{QString("/m/a") + QChar(0)});
    LogCapture log;
    EXPECT_FALSE(nul->saveToUrl(QUrl::fromLocalFile(dir.filePath("nul.perspixproj")), false));
    EXPECT_TRUE(log.contains("Error while project serialization: "));
}
