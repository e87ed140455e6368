#include <QBuffer>
#include <QDir>
#include <gtest/gtest.h>

#include "export/CommandLineExport.h"
#include "export/ExportCases.h"
#include "export/ExportTestSupport.h"
#include "model/Log.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

CommandLineExport::Request request(const QString& format, const QString& file = {},
                                   const QString& folder = {})
{
    CommandLineExport::Request r;
    r.format = format;
    r.outputFile = file;
    r.separateDir = folder;
    return r;
}

} // namespace

TEST(CommandLineExport, Requests)
{
    TempDir dir;
    const FileRecordList records{filmRecord(), songRecord()};
    struct Case
    {
        const char* name;
        CommandLineExport::Request request;
        CommandLineExport::Status status;
        QString messageStart; // "" when none is expected
        bool toStdout;
        QStringList files; // in dir afterwards
    };
    const QString missing = dir.filePath("missing");
    const Case cases[] = {
        {"unknown format",
         request("doc"),
         CommandLineExport::Usage,
         "unknown export format \"doc\"",
         false,
         {}},
        {"binary to standard output",
         request("plist"),
         CommandLineExport::Usage,
         "a binary property list is not written to standard output",
         false,
         {}},
        {"file and folder at once",
         request("txt", dir.filePath("a.txt"), dir.path()),
         CommandLineExport::Usage,
         "-o and --separate cannot be used together",
         false,
         {}},
        {"standard output", request("json"), CommandLineExport::Ok, "", true, {}},
        {"one file",
         request("plist", dir.filePath("all.plist")),
         CommandLineExport::Ok,
         "",
         false,
         {"all.plist"}},
        {"file in a missing folder",
         request("csv", missing + "/all.csv"),
         CommandLineExport::Failed,
         "cannot write " + missing + "/all.csv: ",
         false,
         {}},
        {"a folder as the file",
         request("csv", dir.path()),
         CommandLineExport::Failed,
         "cannot write ",
         false,
         {}},
        {"separate files",
         request("xml", {}, dir.path()),
         CommandLineExport::Ok,
         "",
         false,
         {"clip.xml", "song.xml"}},
        {"separate into a missing folder",
         request("xml", {}, missing),
         CommandLineExport::Failed,
         "cannot write into " + missing + ": no such folder",
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QStringList messages;
        EXPECT_EQ(CommandLineExport::run(c.request, records, out, &messages), c.status);
        if (c.messageStart.isEmpty()) {
            EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
        } else {
            ASSERT_EQ(messages.size(), 1);
            EXPECT_TRUE(messages[0].startsWith(c.messageStart)) << messages[0].toStdString();
        }
        EXPECT_EQ(!out.data().isEmpty(), c.toStdout);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name), c.files);
    }

    // Private facts left out on request.
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    CommandLineExport::Request noPrivate = request("txt");
    noPrivate.noPrivate = true;
    EXPECT_EQ(CommandLineExport::run(noPrivate, records, out, nullptr), CommandLineExport::Ok);
    EXPECT_FALSE(out.data().contains("Location"));
    EXPECT_TRUE(out.data().contains("Name: clip.mov"));
}

TEST(CommandLineExport, Projects)
{
    TempDir dir;
    const QString project = dir.filePath("list.perspixproj");
    const QStringList paths = {dataPath("audio/song.mp3"), dataPath("media/multi.mkv")};
    QStringList messages;
    EXPECT_EQ(CommandLineExport::saveProject(project, paths, &messages), CommandLineExport::Ok);
    EXPECT_EQ(CommandLineExport::openProject(project, &messages), paths);
    EXPECT_TRUE(messages.isEmpty());

    EXPECT_EQ(
        CommandLineExport::saveProject(dir.filePath("no/such/x.perspixproj"), paths, &messages),
        CommandLineExport::Failed);
    EXPECT_EQ(CommandLineExport::saveProject(dir.filePath("empty.perspixproj"), {}, &messages),
              CommandLineExport::Failed);
    LogCapture log;
    EXPECT_FALSE(CommandLineExport::openProject(dir.filePath("gone.perspixproj"), &messages));
    EXPECT_EQ(messages.size(), 3);

    const std::pair<QStringList, bool> arguments[] = {
        {{project}, true},
        {{dir.filePath("LIST.PerspixProj")}, true},
        {{project, dataPath("audio/song.mp3")}, false},
        {{dataPath("audio/song.mp3")}, false},
        {{}, false},
    };
    for (const auto& [args, expected] : arguments)
        EXPECT_EQ(CommandLineExport::isProjectArgument(args), expected)
            << args.join(" ").toStdString();
}
