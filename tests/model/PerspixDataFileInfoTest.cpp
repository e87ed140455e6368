#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "model/PropertyList.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

namespace {

bool setAttribute(const QString& path, const QString& name, const QByteArray& value)
{
    return ::setxattr(QFile::encodeName(path).constData(), name.toUtf8().constData(),
                      value.constData(), size_t(value.size()), 0) == 0;
}

bool setMacAttribute(const QString& path, const QString& name, const QVariant& value)
{
    return setAttribute(path, QStringLiteral("user.") + name,
                        PropertyList::toBinary(value).value_or(QByteArray()));
}

void setModificationTime(const QString& path, qint64 seconds)
{
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(seconds);
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

GeneralRecord factsOf(const QString& path, const QVariantMap& options = {})
{
    PerspixData data(path);
    data.setInitOptions(&options);
    GeneralRecord general;
    data.getFileInfo(general);
    return general;
}

QList<FileFactEntry> entriesOf(const QString& path, const QVariantMap& options = {})
{
    PerspixData data(path);
    data.setInitOptions(&options);
    GeneralRecord general;
    data.getFileInfo(general);
    return data.prepareFileStream(general);
}

QStringList keysOf(const QList<FileFactEntry>& entries)
{
    QStringList k;
    for (const FileFactEntry& e : entries)
        k.append(e.key);
    return k;
}

const FileFactEntry* find(const QList<FileFactEntry>& entries, const QString& key)
{
    for (const FileFactEntry& e : entries)
        if (e.key == key)
            return &e;
    return nullptr;
}

// The entry's value, or an invalid value when there is no such entry.
QVariant valueOf(const QList<FileFactEntry>& entries, const QString& key)
{
    const FileFactEntry* e = find(entries, key);
    return e ? e->value : QVariant();
}

// Sets the process's time zone (a POSIX TZ rule) and user locale for one test.
class ZoneAndLocale
{
public:
    ZoneAndLocale(const char* zone, const QLocale& locale) : m_zone(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
        QLocale::setDefault(locale);
    }
    ~ZoneAndLocale()
    {
        if (m_zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_zone);
        tzset();
        QLocale::setDefault(m_locale);
    }

private:
    QByteArray m_zone;
    QLocale m_locale;
};

const QStringList kPlainFileKeys = {"FileName",         "FileSize",
                                    "FileSizeAndBytes", "FileSizeInBytes",
                                    "FileKind",         "FileUTI",
                                    "FileLocation",     "LocalizedCreationDate",
                                    "CreationDate",     "LocalizedModificationDate",
                                    "ModificationDate"};

} // namespace

TEST(FileInfo, EntriesOfAPlainFileAndTheirFlags)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("notes.txt"), QByteArray(512, 'x'));
    const auto entries = entriesOf(path);
    ASSERT_EQ(keysOf(entries), kPlainFileKeys);

    struct Expect
    {
        const char* key;
        const char* label;
        bool skipInExtended, skipInExport, skipInComparison, isPrivateInfo;
    };
    const Expect expected[] = {
        {"FileName", "Name", false, false, false, false},
        {"FileSize", "Size", true, false, true, false},
        {"FileSizeAndBytes", "Size", false, true, false, false},
        {"FileSizeInBytes", "Size", true, false, true, false},
        {"FileKind", "Kind", false, false, false, true},
        {"FileUTI", "MIME type", false, false, false, true},
        {"FileLocation", "Location", false, false, false, true},
        {"LocalizedCreationDate", "Created", false, true, false, false},
        {"CreationDate", "Created", true, false, true, false},
        {"LocalizedModificationDate", "Modified", false, true, false, false},
        {"ModificationDate", "Modified", true, false, true, false},
    };
    for (const Expect& x : expected) {
        SCOPED_TRACE(x.key);
        const FileFactEntry* e = find(entries, QLatin1String(x.key));
        ASSERT_TRUE(e);
        EXPECT_EQ(e->label, QLatin1String(x.label));
        EXPECT_EQ(e->skipInExtended, x.skipInExtended);
        EXPECT_EQ(e->skipInExport, x.skipInExport);
        EXPECT_EQ(e->skipInComparison, x.skipInComparison);
        EXPECT_EQ(e->isPrivateInfo, x.isPrivateInfo);
    }
    EXPECT_EQ(valueOf(entries, "FileName"), "notes.txt");
    EXPECT_EQ(valueOf(entries, "FileLocation"), dir.path());
    EXPECT_EQ(valueOf(entries, "FileSize"), "512 bytes");
    EXPECT_EQ(valueOf(entries, "FileSizeInBytes"), "512");
    // The size text already is the byte count: no parenthesis.
    EXPECT_EQ(valueOf(entries, "FileSizeAndBytes"), "512 bytes");
    EXPECT_EQ(valueOf(entries, "FileUTI"), "text/plain");
    EXPECT_FALSE(valueOf(entries, "FileKind").toString().isEmpty());
}

TEST(FileInfo, CombinedSizeLine)
{
    TempDir dir;
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(1500000));
    f.close();
    const std::pair<bool, const char*> cases[] = {
        {true, "1.50 MB (1500000 bytes)"},
        {false, "1.43 MiB (1500000 bytes)"},
    };
    for (const auto& [si, line] : cases) {
        const auto entries = entriesOf(path, {{keys::kOptUseSIUnits, si}});
        EXPECT_EQ(valueOf(entries, "FileSizeAndBytes"), QLatin1String(line));
    }
}

TEST(FileInfo, DatesInTheLocaleAndAsIsoTextWithTheZoneOffset)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("clip.mp4"), "data");
    setModificationTime(path, 1330837567); // 2012-03-04 05:06:07 UTC
    const struct
    {
        const char* zone;
        const char* iso;
        const char* localized;
    } cases[] = {
        {"UTC0", "2012-03-04T05:06:07Z", "Sunday, March 4, 2012 5:06:07 AM"},
        {"XST-5:30", "2012-03-04T10:36:07+05:30", "Sunday, March 4, 2012 10:36:07 AM"},
        {"EST5", "2012-03-04T00:06:07-05:00", "Sunday, March 4, 2012 12:06:07 AM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        ZoneAndLocale zone(c.zone, QLocale(QLocale::English, QLocale::UnitedStates));
        const GeneralRecord g = factsOf(path);
        EXPECT_EQ(g.string(keys::kModificationDate), QLatin1String(c.iso));
        EXPECT_EQ(g.string(keys::kLocalizedModificationDate), QLatin1String(c.localized));
        // The creation date is the birth time (now) or, where none is kept, the
        // modification time: either way in the same form.
        const QRegularExpression iso(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$"));
        EXPECT_TRUE(iso.match(g.string(keys::kCreationDate)).hasMatch())
            << g.string(keys::kCreationDate).toStdString();
    }
    ZoneAndLocale german("CET-1CEST,M3.5.0,M10.5.0/3", QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(factsOf(path).string(keys::kLocalizedModificationDate),
              QString::fromUtf8("Sonntag, 4. März 2012 06:06:07"));
}

TEST(FileInfo, LinksShowTheirOwnNameAndTheTargetsFacts)
{
    TempDir dir;
    QDir().mkdir(dir.filePath(QStringLiteral("real")));
    QDir().mkdir(dir.filePath(QStringLiteral("links")));
    const QString target = dir.write(QStringLiteral("real/movie.mp4"), QByteArray(2000, 'm'));
    const QString link = dir.filePath(QStringLiteral("links/shortcut"));
    ASSERT_TRUE(QFile::link(target, link));
    setModificationTime(target, 1000000000);
    const bool attributes = setAttribute(target, "user.xdg.comment", "on the target");

    const QVariantMap options{{keys::kOptComputeFileHashes, true}};
    const auto entries = entriesOf(link, options);
    EXPECT_EQ(valueOf(entries, "FileName"), "shortcut");
    EXPECT_EQ(valueOf(entries, "FileLocation"), dir.filePath(QStringLiteral("links")));
    EXPECT_EQ(valueOf(entries, "FileSizeInBytes"), "2000");
    EXPECT_EQ(valueOf(entries, "FileUTI"), "video/mp4"); // the target's name decides
    EXPECT_EQ(QDateTime::fromString(valueOf(entries, "ModificationDate").toString(), Qt::ISODate)
                  .toSecsSinceEpoch(),
              1000000000);
    EXPECT_EQ(valueOf(entries, "MD5Hash"), "1d6840c39f64f25c7e675f6d6481bc69");
    EXPECT_EQ(valueOf(entries, "SHA1Hash"), "a40117d8193298142229ba27270fcbd0304b05c0");
    if (attributes) {
        EXPECT_EQ(valueOf(entries, "FileFinderComment"), "on the target");
    }
}

TEST(FileInfo, AttributesBecomePrivateEntriesInOrder)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("clip.mp4"), "data");
    if (!setAttribute(path, "user.xdg.comment", "Holiday"))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    const QDateTime first(QDate(2021, 6, 1), QTime(12, 0), Qt::UTC);
    const QDateTime second(QDate(2022, 1, 2), QTime(3, 4, 5), Qt::UTC);
    setAttribute(path, "user.xdg.tags", "Red,Work");
    setMacAttribute(path, keys::kXattrWhereFroms,
                    QVariantList{"https://a.example/x.mp4", "https://a.example/"});
    setMacAttribute(path, keys::kXattrAuthors, QString("Ann"));
    setMacAttribute(path, keys::kXattrDownloadedDate, QVariantList{first, second});

    ZoneAndLocale zone("UTC0", QLocale(QLocale::English, QLocale::UnitedStates));
    const QVariantMap options{{keys::kOptComputeFileHashes, true}};
    const auto entries = entriesOf(path, options);
    const QStringList withAttributes{"FileFinderComment", "FileTags", "FileFrom", "FileAuthors",
                                     "FileFromDate",      "MD5Hash",  "SHA1Hash"};
    EXPECT_EQ(keysOf(entries), kPlainFileKeys + withAttributes);
    EXPECT_EQ(valueOf(entries, "FileFinderComment"), "Holiday");
    ASSERT_TRUE(find(entries, "FileFinderComment"));
    EXPECT_EQ(find(entries, "FileFinderComment")->label, "Comment");
    EXPECT_EQ(valueOf(entries, "FileTags"), "Red, Work");
    EXPECT_EQ(valueOf(entries, "FileFrom"), "https://a.example/x.mp4,\nhttps://a.example/");
    EXPECT_EQ(valueOf(entries, "FileAuthors"), "Ann");
    EXPECT_EQ(valueOf(entries, "FileFromDate"),
              "Tuesday, June 1, 2021 12:00:00 PM,\nSunday, January 2, 2022 3:04:05 AM");
    for (const char* key :
         {"FileFinderComment", "FileTags", "FileFrom", "FileAuthors", "FileFromDate"})
        EXPECT_TRUE(find(entries, QLatin1String(key)) &&
                    find(entries, QLatin1String(key))->isPrivateInfo)
            << key;
    EXPECT_EQ(valueOf(entries, "MD5Hash"), "8d777f385d3dfec8815d20f7496026dc");

    // With attributes skipped the list ends after the dates and the digests.
    const QVariantMap skipping{{keys::kOptComputeFileHashes, true},
                               {keys::kOptSkipExtAttributes, true}};
    const QStringList digests{"MD5Hash", "SHA1Hash"};
    EXPECT_EQ(keysOf(entriesOf(path, skipping)), kPlainFileKeys + digests);
}

TEST(FileInfo, DownloadSourcesAndDatesInEveryShape)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("clip.mp4"), "data");
    if (!setAttribute(path, "user.probe", "1"))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    ZoneAndLocale zone("UTC0", QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime when(QDate(2021, 6, 1), QTime(12, 0), Qt::UTC);
    struct Case
    {
        const char* what;
        QVariant whereFroms;
        QVariant dates;
        QVariant fileFrom;     // invalid: no entry
        QVariant fileFromDate; // invalid: no entry
    };
    const Case cases[] = {
        {"single string and single date", QString("https://one.example/"), when,
         QString("https://one.example/"), QString("Tuesday, June 1, 2021 12:00:00 PM")},
        {"empty lists", QVariantList{}, QVariantList{}, {}, {}},
        {"lists of other things", QVariantList{1, true}, QVariantList{"not a date"}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setMacAttribute(path, keys::kXattrWhereFroms, c.whereFroms);
        setMacAttribute(path, keys::kXattrDownloadedDate, c.dates);
        const GeneralRecord g = factsOf(path);
        EXPECT_EQ(g.values.value(keys::kFileFrom), c.fileFrom);
        EXPECT_EQ(g.values.value(keys::kFileFromDate), c.fileFromDate);
    }
}

TEST(FileInfo, UndecodableAttributeIsLoggedAndSkipped)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("clip.mp4"), "data");
    if (!setAttribute(path, "user.com.apple.metadata:kMDItemWhereFroms", "bplist00broken"))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    setAttribute(path, "user.xdg.comment", "still read");
    LogCapture log;
    const GeneralRecord g = factsOf(path);
    EXPECT_FALSE(g.contains(keys::kFileFrom));
    EXPECT_EQ(g.string(keys::kFinderComment), "still read");
    EXPECT_EQ(log.lines(), QStringList{"Failed to unserialize xattr "
                                       "user.com.apple.metadata:kMDItemWhereFroms: "
                                       "damaged binary property list"});
}

// Paths that lead to no readable file: no facts beyond name and folder, one log line each,
// and nothing written.
TEST(FileInfo, BadPathsGiveNoFacts)
{
    TempDir dir;
    const QString loop = dir.filePath(QStringLiteral("loop"));
    QFile::link(loop, loop);
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    QFile::link(dir.filePath(QStringLiteral("nowhere")), dangling);
    for (const QString& path : {dir.filePath(QStringLiteral("missing.mp4")), loop, dangling}) {
        SCOPED_TRACE(path.toStdString());
        LogCapture log;
        const auto entries = entriesOf(path, {{keys::kOptComputeFileHashes, true}});
        EXPECT_EQ(keysOf(entries), (QStringList{"FileName", "FileLocation"}));
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines().first().startsWith("Failed to read the file facts of " + path));
    }
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(),
        2);
}

TEST(FileInfo, FolderPipeAndUnreadableFileHaveFactsButNoDigests)
{
    TempDir dir;
    const QString secret = dir.write(QStringLiteral("secret.mp4"), "data");
    ::chmod(QFile::encodeName(secret).constData(), 0);
    const QVariantMap options{{keys::kOptComputeFileHashes, true}};

    const GeneralRecord folder = factsOf(dir.path(), options);
    EXPECT_EQ(folder.string(keys::kFileUTI), "inode/directory");
    EXPECT_FALSE(folder.contains(keys::kMd5));

    // Nobody writes to the pipe: reading it would wait for ever.
    const QString pipe = dir.filePath(QStringLiteral("pipe.mp4"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const GeneralRecord fifo = factsOf(pipe, options);
    EXPECT_EQ(fifo.string(keys::kFileUTI), "inode/fifo");
    EXPECT_FALSE(fifo.contains(keys::kMd5));

    const GeneralRecord g = factsOf(secret, options);
    EXPECT_EQ(g.string(keys::kFilesizeInBytes), "4");
    if (::access(QFile::encodeName(secret).constData(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(g.contains(keys::kMd5));
}

TEST(FileInfo, NamesWithLineBreaksAndInvalidUtf8)
{
    TempDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArray broken = folder + "bad\xff\xfename.mp4";
    for (const QByteArray& path : {QByteArray(folder + "two\nlines.mp4"), broken}) {
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "abc", 3), 3);
        ::close(fd);
    }

    const QString twoLines = dir.filePath(QStringLiteral("two\nlines.mp4"));
    {
        LogCapture log;
        const auto entries = entriesOf(twoLines);
        EXPECT_EQ(valueOf(entries, "FileName"), "two\nlines.mp4");
        EXPECT_EQ(valueOf(entries, "FileSizeInBytes"), "3");
        EXPECT_TRUE(log.lines().isEmpty());
    }
    {
        // A name that is no UTF-8 cannot be named again from text: reported, not read.
        const QString decoded = QFile::decodeName(broken);
        LogCapture log;
        const auto entries = entriesOf(decoded);
        EXPECT_EQ(keysOf(entries), (QStringList{"FileName", "FileLocation"}));
        EXPECT_EQ(log.lines().size(), 1);
    }
    // Qt cannot name the file either, so it would stay behind in the temporary folder.
    EXPECT_EQ(::unlink(broken.constData()), 0);
}
