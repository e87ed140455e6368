// perspix-cli's copies without metadata and attachment extraction: option parsing, and
// runs of the built program over copies of the corpus and over samples/, checked with the
// peers. Sources are hashed before and after.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/CommandLine.h"
#include "support/PeerTools.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::cli;
using perspix::test::dataPath;
using perspix::test::TempDir;
namespace peer = perspix::test::peer;
using Mode = MediaCopyOptions::Mode;

namespace {

struct Outcome
{
    int status = -1;
    QStringList out; // lines
    QString err;
};

// Runs the built program with its own empty settings folder.
Outcome runProgram(const QStringList& args, const QString& configHome)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    env.insert("XDG_CACHE_HOME", configHome + "/cache");
    env.insert("HOME", configHome);
    env.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PERSPIX_CLI_PROGRAM), args);
    Outcome o;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

QString lastLine(const QString& text)
{
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// Digest of every file below the folder, by relative path.
QMap<QString, QByteArray> digestsBelow(const QString& folder)
{
    QMap<QString, QByteArray> digests;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        digests.insert(QDir(folder).relativeFilePath(path), peer::fileDigest(path));
    }
    return digests;
}

bool hasLocation(const QString& film)
{
    for (const QString& key : peer::exiftoolTags(film).keys())
        if (key.contains("GPS") || key.contains("Location"))
            return true;
    return false;
}

QStringList gpsKeys(const QString& image)
{
    QStringList keys;
    for (const QString& key : peer::exiv2Keys(image))
        if (key.startsWith("Exif.GPSInfo.") && key != "Exif.GPSInfo.GPSVersionID")
            keys.append(key);
    return keys;
}

} // namespace

TEST(MediaCopyOptions, ParsesTheCopyAndExtractionOptions)
{
    struct Case
    {
        QStringList args;
        bool ok;
        Mode mode;
        const char* parts; // letters: e(xif) m(akernote) g(ps) i(ptc) x(mp)
        QString folder;
    };
    const Case cases[] = {
        {{"a"}, true, Mode::None, "", {}},
        {{"--strip", "gps", "--to", "D", "a"}, true, Mode::Strip, "g", "D"},
        {{"--strip=exif,makernote,gps,iptc,xmp", "--to=D", "a"}, true, Mode::Strip, "emgix", "D"},
        {{"a", "--strip", "GPS, xmp", "--to", "D"}, true, Mode::Strip, "gx", "D"},
        {{"--strip", "iptc", "--strip", "exif", "--to", "D", "a"}, true, Mode::Strip, "ei", "D"},
        {{"--strip-location", "--to", "D", "a"}, true, Mode::Strip, "g", "D"},
        {{"--extract-attachments", "D", "a", "b"}, true, Mode::ExtractAttachments, "", "D"},
        {{"--strip", "gps", "a"}, false, Mode::None, "", {}},
        {{"--strip-location", "a"}, false, Mode::None, "", {}},
        {{"--to", "D", "a"}, false, Mode::None, "", {}},
        {{"--strip", "gps,colour", "--to", "D", "a"}, false, Mode::None, "", {}},
        {{"--strip", "", "--to", "D", "a"}, false, Mode::None, "", {}},
        {{"--strip", "gps", "--to", "", "a"}, false, Mode::None, "", {}},
        {{"--strip", "gps", "--strip-location", "--to", "D", "a"}, false, Mode::None, "", {}},
        {{"--extract-attachments", "D", "--to", "E", "a"}, false, Mode::None, "", {}},
        {{"--extract-attachments", "D", "--strip-location", "a"}, false, Mode::None, "", {}},
        {{"--strip-location", "--to", "D", "--exiftool", "a"}, false, Mode::None, "", {}},
        {{"--strip", "gps", "--to", "D"}, false, Mode::None, "", {}},
        {{"a", "--extract-attachments"}, false, Mode::None, "", {}},
    };
    for (const Case& c : cases) {
        const std::string label = c.args.join(' ').toStdString();
        const ParseOutcome p = parseCommandLine(c.args);
        EXPECT_EQ(p.action == ParseOutcome::Run, c.ok) << label << ": " << p.error.toStdString();
        if (!c.ok) {
            EXPECT_FALSE(p.error.isEmpty()) << label;
            continue;
        }
        const MediaCopyOptions& o = p.options.copy;
        EXPECT_EQ(o.mode, c.mode) << label;
        const QString letters = QString::fromLatin1(c.parts);
        EXPECT_EQ(o.parts.exif, letters.contains('e')) << label;
        EXPECT_EQ(o.parts.makernote, letters.contains('m')) << label;
        EXPECT_EQ(o.parts.gps, letters.contains('g')) << label;
        EXPECT_EQ(o.parts.iptc, letters.contains('i')) << label;
        EXPECT_EQ(o.parts.xmp, letters.contains('x')) << label;
        EXPECT_EQ(o.folder, c.folder) << label;
    }
    EXPECT_TRUE(usageText().contains("--strip-location"));
}

TEST(MediaCopyProgram, StripGpsOverAFolderOfImagesAndFilms)
{
    TempDir dir;
    const QString in = dir.filePath("in");
    ASSERT_TRUE(QDir().mkpath(in + "/sub"));
    for (const char* file : {"images/DSCN0010.jpg", "media/paris.mp4", "media/sydney.mov",
                             "media/multi.mkv", "media/truncated.mp4", "audio/song.mp3"})
        QFile::copy(dataPath(file), in + '/' + QFileInfo(file).fileName());
    QFile::copy(dataPath("media/nyc.mp4"), in + "/sub/nyc.mp4");
    // A film with its header first, cut short: ExifTool refuses to write it. (truncated.mp4
    // lost its header and is no video: it is copied as it is.)
    ASSERT_EQ(peer::run("ffmpeg", {"-v", "error", "-i", dataPath("media/paris.mp4"), "-map", "0",
                                   "-c", "copy", "-movflags", "+faststart", dir.filePath("fs.mp4")})
                  .exitCode,
              0);
    QFile faststart(dir.filePath("fs.mp4"));
    ASSERT_TRUE(faststart.open(QIODevice::ReadOnly));
    dir.write("in/cut.mp4", faststart.read(30000));
    const auto sources = digestsBelow(in);
    const QString out = dir.filePath("out");

    const Outcome o = runProgram({"--strip", "gps", "--to", out, in}, dir.path());
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    QStringList written = o.out;
    written.sort();
    EXPECT_EQ(written, (QStringList{out + "/DSCN0010.jpg", out + "/multi.mkv", out + "/paris.mp4",
                                    out + "/song.mp3", out + "/sub/nyc.mp4", out + "/sydney.mov",
                                    out + "/truncated.mp4"}));
    EXPECT_TRUE(o.err.contains("ExportSession failed with")) << o.err.toStdString();
    EXPECT_EQ(lastLine(o.err), "perspix-cli: 8 files, 7 written, 1 failed");

    EXPECT_EQ(gpsKeys(out + "/DSCN0010.jpg"), QStringList());
    for (const char* film : {"/paris.mp4", "/sydney.mov", "/sub/nyc.mp4"}) {
        EXPECT_FALSE(hasLocation(out + film)) << film;
        EXPECT_EQ(peer::streamHashes(out + film), peer::streamHashes(in + film)) << film;
    }
    const auto copies = digestsBelow(out);
    EXPECT_EQ(copies.value("multi.mkv"), sources.value("multi.mkv"));
    EXPECT_EQ(copies.value("song.mp3"), sources.value("song.mp3"));
    EXPECT_EQ(copies.value("truncated.mp4"), sources.value("truncated.mp4"));
    EXPECT_FALSE(copies.contains("cut.mp4"));
    EXPECT_EQ(digestsBelow(in), sources);

    // A second run numbers its copies instead of touching the first ones.
    const Outcome again =
        runProgram({"--strip-location", "--to", out, in + "/paris.mp4"}, dir.path());
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, QStringList{QString(out + "/paris (1).mp4")});
    EXPECT_EQ(digestsBelow(out).value("paris.mp4"), copies.value("paris.mp4"));
}

TEST(MediaCopyProgram, StripLocationOverTheSamples)
{
    TempDir dir;
    const QString samples = QDir(dataPath(".")).filePath("../../samples");
    const auto sources = digestsBelow(samples);
    const QString out = dir.filePath("out");
    const Outcome o = runProgram({"--quiet", "--strip-location", "--to", out, samples}, dir.path());
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.contains(QString(out + "/harbour.mp4")));
    EXPECT_TRUE(o.out.contains(QString(out + "/photo.jpg")));
    EXPECT_TRUE(o.out.contains(QString(out + "/tone.mp3")));
    EXPECT_FALSE(hasLocation(out + "/harbour.mp4"));
    EXPECT_EQ(gpsKeys(out + "/photo.jpg"), QStringList());
    EXPECT_FALSE(peer::exiv2Keys(out + "/photo.jpg").isEmpty()); // only GPS went
    EXPECT_EQ(digestsBelow(samples), sources);
}

TEST(MediaCopyProgram, ExtractAttachments)
{
    TempDir dir;
    const QString out = dir.filePath("out");
    const QStringList paths{dataPath("media/multi.mkv"), dataPath("audio/song.mp3"),
                            dataPath("images/Canon_40D.jpg"), dataPath("audio/stereo.wav")};
    const Outcome o = runProgram(
        {"--extract-attachments", out, paths[0], paths[1], paths[2], paths[3]}, dir.path());
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    QStringList written = o.out;
    written.sort();
    ASSERT_EQ(written.size(), 4) << o.out.join('\n').toStdString();
    EXPECT_EQ(written[0], QString(out + "/Canon_40D.jpg embedded/Canon_40D #1.jpg"));
    EXPECT_EQ(written[1], QString(out + "/multi.mkv embedded/cover.jpg"));
    EXPECT_EQ(written[2], QString(out + "/multi.mkv embedded/font.ttf"));
    EXPECT_TRUE(written[3].startsWith(QString(out + "/song.mp3 embedded/Cover")));
    for (const QString& path : written)
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out + "/stereo.wav embedded"));
    EXPECT_EQ(lastLine(o.err), "perspix-cli: 4 files, 4 written, 0 failed");
    EXPECT_FALSE(o.err.contains('\r')); // no progress bar off a terminal
}

// On a terminal the progress bar is drawn on standard error and cleared before each written
// path, so that every path stands on a line of its own.
TEST(MediaCopyProgram, ProgressBarOnlyOnATerminal)
{
    const QString script = QStringLiteral("/usr/bin/script");
    if (!QFileInfo::exists(script))
        GTEST_SKIP() << "no script(1) to give the program a terminal";
    TempDir dir;
    const QString out = dir.filePath("out");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.path());
    env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    p.setProcessEnvironment(env);
    p.start(script, {"-qec",
                     QStringLiteral("'%1' --strip-location --to '%2' '%3' '%4'")
                         .arg(QStringLiteral(PERSPIX_CLI_PROGRAM), out,
                              dataPath("images/DSCN0010.jpg"), dataPath("media/paris.mp4")),
                     "/dev/null"});
    ASSERT_TRUE(p.waitForFinished(60000));
    QString shown = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(shown.contains("] 2/2")) << shown.toStdString();
    shown.remove(QStringLiteral("\x1b[K")); // the bar's erase-line sequence
    const QStringList lines = shown.split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(out + "/DSCN0010.jpg")) << shown.toStdString();
    EXPECT_TRUE(lines.contains(out + "/paris.mp4")) << shown.toStdString();
}

TEST(MediaCopyProgram, TargetThatIsAFileEndsTheRunBeforeItBegins)
{
    TempDir dir;
    const QString file = dir.write("file", "x");
    const Outcome o =
        runProgram({"--strip", "gps", "--to", file, dataPath("images/DSCN0010.jpg")}, dir.path());
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("is not a folder"));
    EXPECT_TRUE(o.out.isEmpty());
}

namespace {

// Copies a sample to a path given as bytes.
bool copyToBytes(const QString& sample, const QByteArray& target)
{
    QFile in(dataPath(sample));
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

bool existsAsBytes(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// A text name for a file whose name is bytes, for the peer tools, which take text.
QString textLink(const TempDir& dir, const QByteArray& target, const QString& name)
{
    const QString link = dir.filePath(name);
    return ::symlink(target.constData(), QFile::encodeName(link).constData()) == 0 ? link
                                                                                   : QString();
}

} // namespace

// Names that are not UTF-8 keep their bytes through analysis, copies and extraction, and are
// shown with U+FFFD for the bytes.
TEST(MediaCopyProgram, NamesThatAreNotUtf8KeepTheirBytes)
{
    TempDir dir;
    const QByteArray in = QFile::encodeName(dir.filePath("in")) + "/d\xe9";
    ASSERT_TRUE(QDir().mkpath(dir.filePath("in")));
    ASSERT_EQ(::mkdir(in.constData(), 0755), 0);
    const QByteArray name = "caf\xe9";
    ASSERT_TRUE(copyToBytes("images/DSCN0010.jpg", in + '/' + name + ".jpg"));
    ASSERT_TRUE(copyToBytes("media/paris.mp4", in + '/' + name + ".mp4"));
    ASSERT_TRUE(copyToBytes("media/multi.mkv", in + '/' + name + ".mkv"));
    const QString shownFolder = QString::fromUtf8("d\xef\xbf\xbd");
    const QString shown = QString::fromUtf8("caf\xef\xbf\xbd");
    const QStringList extensions = {".jpg", ".mkv", ".mp4"};

    // Analysis and export, by MediaInfo and by ExifTool, with the digests of the contents.
    for (const QStringList& options : {QStringList{}, QStringList{"--exiftool"}}) {
        const Outcome o = runProgram(
            options + QStringList{"--format", "json", "--hashes", "--quiet", dir.filePath("in")},
            dir.path());
        ASSERT_EQ(o.status, 0) << o.err.toStdString();
        const QJsonArray records = QJsonDocument::fromJson(o.out.join('\n').toUtf8()).array();
        ASSERT_EQ(records.size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            const QJsonObject record = records[i].toObject();
            const QString expected =
                dir.filePath("in/" + shownFolder + '/' + shown + extensions[i]);
            EXPECT_EQ(record.value("_FileName").toString(), expected);
            QStringList hashes;
            QString fileName;
            for (const QJsonValue& e : record.value("File").toArray().first().toArray()) {
                if (e.toObject().value("option").toString().endsWith("Hash"))
                    hashes.append(e.toObject().value("value").toString());
                if (e.toObject().value("option") == "FileName")
                    fileName = e.toObject().value("value").toString();
            }
            EXPECT_EQ(fileName, shown + extensions[i]);
            EXPECT_EQ(hashes.size(), 2) << expected.toStdString();
            EXPECT_FALSE(record.value("General").toArray().isEmpty() &&
                         record.value("Image").toArray().isEmpty() &&
                         record.value("Container").toArray().isEmpty())
                << expected.toStdString();
        }
    }

    // Copies without location: each under the same bytes, without what was to go.
    const QString out = dir.filePath("out");
    Outcome o = runProgram({"--strip", "gps", "--to", out, dir.filePath("in")}, dir.path());
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    QStringList expected;
    for (const QString& extension : extensions)
        expected.append(out + '/' + shownFolder + '/' + shown + extension);
    QStringList written = o.out;
    written.sort();
    EXPECT_EQ(written, expected);
    const QByteArray copies = QFile::encodeName(out) + "/d\xe9/" + name;
    for (const QString& extension : extensions)
        EXPECT_TRUE(existsAsBytes(copies + extension.toUtf8())) << extension.toStdString();
    EXPECT_EQ(gpsKeys(textLink(dir, copies + ".jpg", "image.jpg")), QStringList());
    EXPECT_FALSE(hasLocation(textLink(dir, copies + ".mp4", "film.mp4")));

    // Extraction: folders named after the files' bytes.
    const QString x = dir.filePath("x");
    o = runProgram({"--extract-attachments", x, dir.filePath("in")}, dir.path());
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    const QByteArray extracted = QFile::encodeName(x) + "/d\xe9/" + name;
    EXPECT_TRUE(existsAsBytes(extracted + ".mkv embedded/cover.jpg"));
    EXPECT_TRUE(existsAsBytes(extracted + ".mkv embedded/font.ttf"));
    EXPECT_TRUE(existsAsBytes(extracted + ".jpg embedded/" + name + " #1.jpg"));
    EXPECT_TRUE(o.out.contains(x + '/' + shownFolder + '/' + shown + ".mkv embedded/font.ttf"))
        << o.out.join('\n').toStdString();
}
