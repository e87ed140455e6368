#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <unistd.h>

#include "export/ExportCases.h"
#include "export/ExportStream.h"
#include "export/ExportTestSupport.h"
#include "export/JsonWriter.h"
#include "export/PerspixExporter.h"
#include "model/PropertyList.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

const QStringList kFormats = {"txt", "html", "xml", "csv", "json", "plist"};

struct NamedCase
{
    QString name;
    FileRecordList records;
    bool skipFilePrivate = false;
};

QList<NamedCase> cases()
{
    return {
        {"film", {filmRecord()}},
        {"film-without-private", {filmRecord()}, true},
        {"two-files", {filmRecord(), songRecord()}},
        {"hostile-values", {hostileRecord()}},
        {"hostile-and-film", {hostileRecord(), filmRecord()}},
    };
}

std::optional<QByteArray> exportBytes(const NamedCase& c, const QString& format)
{
    PerspixExporter exporter;
    exporter.setFormat(format);
    exporter.setSkipFilePrivate(c.skipFilePrivate);
    exporter.setGeneratedBy("v1.0 (1)"); // the expected files do not follow the version
    return exporter.prepareExport(c.records);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An independent reader's view of what we wrote, as JSON.
const char* const kReaders = R"(
import sys, io, json, csv, html.entities, html.parser, plistlib
import xml.etree.ElementTree as ET
import base64
def read(kind, data):
    if kind == 'json':
        obj = json.loads(data.decode('utf-8'))
        objs = obj if isinstance(obj, list) else [obj]
        return {'value': obj, 'keys': [list(o.keys()) for o in objs]}
    if kind == 'plist':
        obj = plistlib.loads(data)
        objs = obj if isinstance(obj, list) else [obj]
        return {'value': obj, 'keys': [list(o.keys()) for o in objs]}
    if kind == 'csv':
        return list(csv.reader(io.StringIO(data.decode('utf-8'), newline='')))
    if kind == 'xml':
        assert data.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n')
        root = ET.fromstring(data)
        assert root.tag == 'files'
        return [[f.get('path'), [[s.get('type'), s.get('id'), s.get('of'),
                  [[i.get('option'), i.get('name'), i.text or ''] for i in s]] for s in f]]
                for f in root]
    if kind == 'html':
        p = Rows()
        p.feed(data.decode('utf-8'))
        p.close()
        return p.rows

class Rows(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell, self.tag = [], None, None
    def handle_starttag(self, tag, attrs):
        if tag in ('th', 'td', 'p'):
            self.cell, self.tag = '', tag
        elif tag == 'br' and self.cell is not None:
            self.cell += '\n'
    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
    def handle_endtag(self, tag):
        if tag == self.tag and self.cell is not None:
            self.rows.append([tag, self.cell])
            self.cell = None
    def handle_data(self, d):
        if self.cell is not None:
            self.cell += d

print(json.dumps([read(k, base64.b64decode(d)) for k, d in json.load(sys.stdin)]))
)";

// Reads each (kind, bytes) pair with the reader of its kind, all in one run.
std::optional<QJsonArray> readBack(const QList<std::pair<QString, QByteArray>>& inputs)
{
    QJsonArray request;
    for (const auto& [kind, bytes] : inputs)
        request.append(QJsonArray{kind, QString::fromLatin1(bytes.toBase64())});
    const auto python = runPython(QString::fromUtf8(kReaders), QJsonDocument(request).toJson());
    if (!python)
        return std::nullopt;
    EXPECT_EQ(python->exitCode, 0) << python->err.constData();
    return QJsonDocument::fromJson(python->out).array();
}

QJsonValue jsonOf(const QVariant& v, QChar nul)
{
    QVariant value = ExportFormat::exportValue(v);
    if (value.typeId() == QMetaType::QString)
        value = value.toString().replace(QChar(0), nul);
    return QJsonValue::fromVariant(value);
}

// What the export record of a record says, in the shape the readers print.
QJsonObject expectedJsonObject(const FileRecord& r, bool skipPrivate, QChar nul)
{
    const ExportRecord record = *r.data->computeExportInfoWithoutFilePrivate(skipPrivate);
    QJsonObject object;
    for (auto it = record.sections.cbegin(); it != record.sections.cend(); ++it) {
        QJsonArray streams;
        for (const auto& stream : *it) {
            QJsonArray entries;
            for (const ExportEntry& e : stream)
                entries.append(QJsonObject{
                    {"option", e.option}, {"name", e.name}, {"value", jsonOf(e.value, nul)}});
            streams.append(entries);
        }
        object.insert(it.key(), streams);
    }
    object.insert("_FileName", record.fileName);
    return object;
}

// XML cannot carry most control characters: they are written as U+FFFD.
QString xmlReadable(QString s)
{
    for (QChar& c : s)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = QChar(0xFFFD);
    return s;
}

QJsonArray expectedXml(const FileRecordList& records, bool skipPrivate)
{
    QJsonArray files;
    for (const FileRecord& r : records) {
        const ExportRecord record = *r.data->computeExportInfoWithoutFilePrivate(skipPrivate);
        QJsonArray streams;
        for (const QString& kind : record.orderedSectionNames()) {
            const auto list = record.sections.value(kind);
            for (qsizetype i = 0; i < list.size(); ++i) {
                QJsonArray items;
                for (const ExportEntry& e : list[i])
                    items.append(QJsonArray{e.option, e.name,
                                            xmlReadable(ExportFormat::valueText(e.value))});
                streams.append(
                    QJsonArray{kind, QString::number(i + 1), QString::number(list.size()), items});
            }
        }
        files.append(QJsonArray{r.filename, streams});
    }
    return files;
}

void addTreeRows(const ExtTreeList& items, bool skipPrivate, QJsonArray& csv, QJsonArray& html)
{
    for (const auto& item : items) {
        if (const auto children = item->children()) {
            if (csv.size() >= 2)
                csv.append(QJsonArray{"", ""});
            csv.append(QJsonArray{item->extValue(), ""});
            html.append(QJsonArray{"th", item->extValue()});
            addTreeRows(*children, skipPrivate, csv, html);
            continue;
        }
        if (skipPrivate && item->isPrivateInfo())
            continue;
        csv.append(QJsonArray{item->name(), item->stringValue()});
        QString shown = item->stringValue();
        shown.replace("\r\n", "\n").replace('\r', '\n');
        html.append(QJsonArray{"td", QString(item->name() + ": ")});
        html.append(QJsonArray{"td", shown});
    }
}

} // namespace

// Every case in every format, byte for byte against the expected files. Run with
// PERSPIX_UPDATE_EXPECTED=1 to write the files anew after an intended change.
TEST(PerspixExporter, ExpectedOutputs)
{
    const QString folder = dataPath("expected/export");
    const bool update = qEnvironmentVariableIsSet("PERSPIX_UPDATE_EXPECTED");
    for (const NamedCase& c : cases()) {
        for (const QString& format : kFormats) {
            const QString path = QDir(folder).filePath(c.name + "." + format);
            const auto bytes = exportBytes(c, format);
            ASSERT_TRUE(bytes.has_value()) << path.toStdString();
            if (update) {
                QDir().mkpath(folder);
                QFile f(path);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(*bytes);
                continue;
            }
            EXPECT_EQ(*bytes, readFile(path)) << path.toStdString();
            // Written record by record, as the command line does, the bytes are the same.
            const ExportFormat* piecewise = ExportFormat::formatWithIdentifier(format);
            if (!piecewise->streams())
                continue;
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            ExportStream stream(*piecewise, ExportSettings{c.skipFilePrivate, "v1.0 (1)"});
            stream.writeTo(&buffer);
            for (const FileRecord& record : c.records)
                stream.add(record);
            EXPECT_TRUE(stream.finish());
            EXPECT_EQ(buffer.data(), *bytes) << "record by record: " << path.toStdString();
        }
    }
}

// Checks that what we write reads back, through standard readers, as exactly what the
// files hold.
static void expectReadsBack(const QList<NamedCase>& cases)
{
    const QStringList kinds = {"json", "xml", "csv", "html", "plist"};
    QList<std::pair<QString, QByteArray>> inputs;
    for (const NamedCase& c : cases)
        for (const QString& kind : kinds)
            inputs.append({kind, *exportBytes(c, kind)});
    const auto read = readBack(inputs);
    if (!read) {
        GTEST_SKIP() << "python3 not installed";
    }
    ASSERT_EQ(read->size(), inputs.size());

    qsizetype next = 0;
    for (const NamedCase& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QJsonObject json = (*read)[next++].toObject();
        const QJsonArray xml = (*read)[next++].toArray();
        const QJsonArray csvRows = (*read)[next++].toArray();
        const QJsonArray htmlRows = (*read)[next++].toArray();
        const QJsonObject plist = (*read)[next++].toObject();

        // JSON and property list: one object per file, key for key its export record, in
        // the stated order. Property-list text cannot hold NUL: it reads U+FFFD there.
        for (const auto& [read, nul] : {std::pair{json, QChar(0)}, {plist, QChar(0xFFFD)}}) {
            const QJsonValue value = read.value("value");
            EXPECT_EQ(value.isArray(), c.records.size() != 1);
            const QJsonArray objects = value.isArray() ? value.toArray() : QJsonArray{value};
            ASSERT_EQ(objects.size(), c.records.size());
            for (qsizetype i = 0; i < c.records.size(); ++i) {
                EXPECT_EQ(objects[i].toObject(),
                          expectedJsonObject(c.records[i], c.skipFilePrivate, nul));
                const QStringList keys = read.value("keys").toArray()[i].toVariant().toStringList();
                EXPECT_EQ(keys.first(), "File");
                EXPECT_EQ(keys.last(), "_FileName");
            }
        }

        // XML: every file element, stream and item.
        EXPECT_EQ(xml, expectedXml(c.records, c.skipFilePrivate));

        // CSV and HTML: the rows of the tree, fields and cells intact.
        QJsonArray csv{QJsonArray{"Parameter", "Value"}};
        QJsonArray html;
        for (qsizetype i = 0; i < c.records.size(); ++i) {
            const FileRecord& r = c.records[i];
            QJsonArray block;
            if (c.records.size() >= 2)
                block.append(QJsonArray{r.filename, ""});
            if (i > 0)
                csv.append(QJsonArray{"", ""});
            html.append(QJsonArray{"p", r.pathPrefix});
            addTreeRows(*r.data->extendedContent(), c.skipFilePrivate, block, html);
            for (const auto& row : block)
                csv.append(row);
        }
        EXPECT_EQ(csvRows, csv);
        EXPECT_EQ(htmlRows, html);
    }
}

TEST(PerspixExporter, OutputsReadBackThroughStandardReaders)
{
    expectReadsBack(cases());
}

// The same for files analysed by the real readers.
TEST(PerspixExporter, AnalysedFilesReadBack)
{
    QList<NamedCase> analysed;
    FileRecordList all;
    for (const char* name :
         {"media/multi.mkv", "audio/song.mp3", "media/Été à Paris (2).mp4", "media/timecode.mov"}) {
        const QString file = QString::fromUtf8(name);
        const auto data = PerspixData::dataAboutFile(dataPath(file), {});
        ASSERT_TRUE(data) << file.toStdString();
        ASSERT_TRUE(data->dict().has_value());
        const FileRecord record{dataPath(file), file, data};
        analysed.append({file, {record}});
        analysed.append({file + " without private facts", {record}, true});
        all.append(record);
    }
    analysed.append({"all together", all});
    expectReadsBack(analysed);
}

// libplist reads the binary property list back as the very object the JSON export writes.
TEST(PerspixExporter, PropertyListReadsBackWithLibplist)
{
    for (const NamedCase& c : cases()) {
        SCOPED_TRACE(c.name.toStdString());
        const QByteArray bytes = *exportBytes(c, "plist");
        EXPECT_TRUE(bytes.startsWith("bplist00"));
        QString error;
        const auto decoded = PropertyList::decode(bytes, &error, PropertyList::DictForm::Ordered);
        ASSERT_TRUE(decoded.has_value()) << error.toStdString();
        JsonWriter writer;
        writer.setHumanReadable(true);
        QString json = QString::fromUtf8(*exportBytes(c, "json"));
        json.replace("\\u0000", QString(QChar(0xFFFD)));
        EXPECT_EQ(writer.stringWithObject(*decoded), json);
    }
}

TEST(PerspixExporter, TextExportShape)
{
    PerspixExporter exporter;
    exporter.setGeneratedBy("v2.3 (45)");
    const QString text =
        QString::fromUtf8(*exporter.prepareTextExport({filmRecord(), songRecord()}));
    const QStringList blocks = text.split("\n\n\n");
    ASSERT_EQ(blocks.size(), 3);
    EXPECT_EQ(blocks[0], "Generated by Perspix v2.3 (45)");
    EXPECT_TRUE(blocks[1].startsWith("films/clip.mov\n--------------\nFile\nName: clip.mov\n"));
    EXPECT_TRUE(blocks[2].startsWith("music/song.mp3\n--------------\nFile\n"));
    // The rule counts UTF-16 code units of the shown path.
    FileRecord odd = songRecord();
    odd.pathPrefix = QString::fromUtf16(u"\u00e9\U0001F600");
    EXPECT_TRUE(QString::fromUtf8(*exporter.prepareTextExport({odd})).contains("\n---\nFile"));

    // The version of this build when nobody sets one.
    EXPECT_TRUE(PerspixExporter().generatedBy().startsWith("v"));
}

TEST(PerspixExporter, Formats)
{
    PerspixExporter exporter;
    EXPECT_EQ(exporter.formatExt().keys(),
              (QStringList{"csv", "html", "json", "plist", "txt", "xml"}));
    for (const QString& id : exporter.formatExt().keys())
        EXPECT_EQ(exporter.extensionForExportFormat(id), id);
    EXPECT_EQ(exporter.extensionForExportFormat("doc"), "");
    EXPECT_EQ(exporter.format(), "txt");
    EXPECT_TRUE(exporter.compound());
    EXPECT_FALSE(exporter.skipFilePrivate());
    exporter.setFormat("doc");
    EXPECT_FALSE(exporter.prepareExport({filmRecord()}).has_value());

    // A record without a result still appears, with what is known about it.
    FileRecord bare{"/x/none.bin", "x/none.bin", std::make_shared<PerspixData>("/x/none.bin")};
    EXPECT_EQ(QString::fromUtf8(*exporter.prepareJSONExport({bare})),
              "{\n  \"_FileName\" : \"/x/none.bin\"\n}");
    EXPECT_EQ(QString::fromUtf8(*exporter.prepareXMLExport({bare})),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<files>\n<file "
              "path=\"/x/none.bin\">\n</file>\n</files>\n");
    EXPECT_EQ(QString::fromUtf8(*exporter.prepareCSVExport({bare})), "\"Parameter\",\"Value\"\n");
}

namespace {

// Stands in for the panels: answers with fixed targets and records what was asked.
class FixedTargets : public ExportTargetChooser
{
public:
    std::optional<QString> file, folder;
    QStringList asked;

    std::optional<QString> chooseSaveFile(const QString& proposedName,
                                          const QString& extension) override
    {
        asked.append("save " + proposedName + "." + extension);
        return file;
    }
    std::optional<QString> chooseFolder() override
    {
        asked.append("folder");
        return folder;
    }
};

FileRecord renamed(FileRecord r, const QString& path)
{
    r.filename = path;
    return r;
}

} // namespace

TEST(PerspixExporter, Modes)
{
    TempDir dir;
    struct Case
    {
        const char* name;
        FileRecordList records;
        bool compound;
        std::optional<QString> file, folder;
        QStringList asked;
        QList<int> results;
        QStringList filesAfter;
    };
    const FileRecord mov = renamed(filmRecord(), "/a/clip.mov");
    const FileRecord mp4 = renamed(filmRecord(), "/b/clip.mp4");
    const QString out = dir.filePath("out.txt");
    const Case table[] = {
        {"nothing to export", {}, true, out, dir.path(), {}, {}, {}},
        {"nothing, separate", {}, false, out, dir.path(), {}, {}, {}},
        {"one record, not compound, still a save panel",
         {mov},
         false,
         out,
         {},
         {"save clip.txt"},
         {0},
         {"out.txt"}},
        {"several into one",
         {mov, mp4},
         true,
         out,
         {},
         {"save Perspix Export.txt"},
         {0},
         {"out.txt"}},
        {"cancelled save", {mov, mp4}, true, {}, {}, {"save Perspix Export.txt"}, {1}, {}},
        {"same base names, separate",
         {mov, mp4},
         false,
         {},
         dir.path(),
         {"folder"},
         {0},
         {"clip (1).txt", "clip.txt"}},
        {"cancelled folder", {mov, mp4}, false, {}, {}, {"folder"}, {1}, {}},
        {"folder gone: failed writes are passed over",
         {mov, mp4},
         false,
         {},
         dir.filePath("missing"),
         {"folder"},
         {0},
         {}},
        {"file in a missing folder",
         {mov},
         true,
         dir.filePath("missing/out.txt"),
         {},
         {"save clip.txt"},
         {2},
         {}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
        FixedTargets targets;
        targets.file = c.file;
        targets.folder = c.folder;
        PerspixExporter exporter(&targets);
        exporter.setArrayWithData(c.records);
        exporter.setCompound(c.compound);
        QList<int> results;
        exporter.doExportWithCompletionHandler([&](int r) { results.append(r); });
        EXPECT_EQ(targets.asked, c.asked);
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name), c.filesAfter);
    }

    // A compound file holds exactly the prepared bytes; a separate one its record alone.
    FixedTargets targets;
    targets.file = out;
    targets.folder = dir.path();
    PerspixExporter exporter(&targets);
    exporter.setFormat("json");
    exporter.setArrayWithData({mov, mp4});
    exporter.doExportWithCompletionHandler([](int) {});
    EXPECT_EQ(readFile(out), *exporter.prepareJSONExport({mov, mp4}));
    exporter.setCompound(false);
    exporter.doExportWithCompletionHandler([](int) {});
    EXPECT_EQ(readFile(dir.filePath("clip (1).json")), *exporter.prepareJSONExport({mp4}));
    EXPECT_TRUE(readFile(dir.filePath("clip (1).json")).startsWith("{"));

    // An unknown format writes nothing and calls no one.
    exporter.setFormat("doc");
    exporter.setCompound(true);
    targets.asked.clear();
    bool called = false;
    exporter.doExportWithCompletionHandler([&](int) { called = true; });
    EXPECT_FALSE(called);
    EXPECT_TRUE(targets.asked.isEmpty());
}

TEST(PerspixExporter, SeparateNames)
{
    TempDir dir;
    dir.write("clip.csv", "taken");
    dir.write("clip (1).csv", "taken");
    PerspixExporter exporter;
    exporter.setFormat("csv");
    exporter.setArrayWithData(
        {renamed(filmRecord(), "/a/clip.mov"), renamed(songRecord(), "/a/notes"),
         renamed(songRecord(), "/a/archive.tar.gz"), renamed(songRecord(), "/a/.hidden")});
    const auto report = exporter.writeSeparateFiles(dir.path());
    EXPECT_TRUE(report.failed.isEmpty());
    QStringList names;
    for (const QString& p : report.written)
        names.append(QFileInfo(p).fileName());
    EXPECT_EQ(names, (QStringList{"clip (2).csv", "notes.csv", "archive.tar.csv", ".hidden.csv"}));
    EXPECT_EQ(readFile(dir.filePath("clip.csv")), "taken"); // never overwritten
    // One record per file: no file-name line.
    EXPECT_TRUE(
        readFile(dir.filePath("notes.csv")).startsWith("\"Parameter\",\"Value\"\n\"File\","));

    if (geteuid() != 0) { // permissions do not stop the super-user
        TempDir locked;
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
        const auto denied = exporter.writeSeparateFiles(locked.path());
        EXPECT_EQ(denied.failed.size(), 4);
        EXPECT_EQ(exporter.writeCompoundFile(locked.filePath("all.csv")),
                  PerspixExporter::WriteFailed);
        QFile::setPermissions(locked.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}
