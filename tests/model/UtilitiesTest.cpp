#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PropertyList.h"
#include "model/Utilities.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

namespace {

bool setAttribute(const QString& path, const QString& name, const QByteArray& value)
{
    return ::setxattr(QFile::encodeName(path).constData(), name.toUtf8().constData(),
                      value.constData(), size_t(value.size()), 0) == 0;
}

QByteArray binaryPlist(const QVariant& value)
{
    return PropertyList::toBinary(value).value_or(QByteArray());
}

bool attributesSupported(const QString& folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral(".xattr-probe"));
    QFile(path).open(QIODevice::WriteOnly);
    const bool ok = setAttribute(path, QStringLiteral("user.probe"), "1");
    QFile::remove(path);
    return ok;
}

qint64 mtimeOf(const QString& path)
{
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

// Points the temporary folder at a test folder for as long as it lives.
class TemporaryFolderOverride
{
public:
    explicit TemporaryFolderOverride(const QString& folder) : m_saved(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(folder));
    }
    ~TemporaryFolderOverride()
    {
        if (m_saved.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_saved);
    }

private:
    QByteArray m_saved;
};

} // namespace

TEST(Utilities, SizeTexts)
{
    struct Case
    {
        qint64 size;
        const char* decimal;
        const char* binary;
    };
    const Case cases[] = {
        {0, "0 bytes", "0 bytes"},
        {999, "999 bytes", "999 bytes"},
        {1000, "1.00 KB", "1000 bytes"},
        {1023, "1.02 KB", "1023 bytes"},
        {1024, "1.02 KB", "1.00 KiB"},
        {99999, "100.0 KB", "97.7 KiB"},
        {1048576, "1.05 MB", "1.00 MiB"},
        {1500000, "1.50 MB", "1.43 MiB"},
        {15000000, "15.0 MB", "14.3 MiB"},
        {150000000, "150 MB", "143 MiB"},
        {999999999, "1000 MB", "954 MiB"},
        {1073741824, "1.07 GB", "1.00 GiB"},
        {999999999999, "1000 GB", "931 GiB"},
        {1000000000000, "1.00 TB", "931 GiB"},
        {1099511627776, "1.10 TB", "1.00 TiB"},
        {-1, "-0.00 TB", "-0.00 TiB"},
    };
    // The decimal point stays "." whatever the user's locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const Case& c : cases) {
        EXPECT_EQ(Utilities::filesizeToMacHumanString(c.size), QLatin1String(c.decimal)) << c.size;
        EXPECT_EQ(Utilities::filesizeToBase2HumanString(c.size), QLatin1String(c.binary)) << c.size;
    }
    QLocale::setDefault(saved);
}

TEST(Utilities, UniqueNames)
{
    TempDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    for (const char* name : {"photo.jpg", "photo (1).jpg", "notes", ".hidden", "archive.tar.gz",
                             "trailing.", "my.folder/notes"}) {
        QDir().mkpath(QFileInfo(at(name)).absolutePath());
        dir.write(QString::fromUtf8(name), "x");
    }
    QDir().mkdir(at("clip.d"));
    QFile::link(at("nowhere"), at("dangling.txt"));

    const std::pair<const char*, const char*> cases[] = {
        {"free.jpg", "free.jpg"},
        {"photo.jpg", "photo (2).jpg"},
        {"notes", "notes (1)"},
        {".hidden", ".hidden (1)"},
        {"archive.tar.gz", "archive.tar (1).gz"},
        {"trailing.", "trailing. (1)"},
        {"my.folder/notes", "my.folder/notes (1)"},
        {"clip.d", "clip (1).d"},
        {"dangling.txt", "dangling (1).txt"},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(Utilities::uniqueFilename(at(given)), at(expected)) << given;
    EXPECT_FALSE(Utilities::uniqueFilename(QString()));
}

TEST(Utilities, UniqueNameGivesUpWhenEveryNumberIsTaken)
{
    TempDir dir;
    dir.write(QStringLiteral("full"), {});
    for (int i = 1; i <= Utilities::kMaxUniqueNameTries; ++i)
        QFile(dir.filePath(QStringLiteral("full (%1)").arg(i))).open(QIODevice::WriteOnly);
    EXPECT_FALSE(Utilities::uniqueFilename(dir.filePath(QStringLiteral("full"))));
    QFile::remove(dir.filePath(QStringLiteral("full (77)")));
    EXPECT_EQ(Utilities::uniqueFilename(dir.filePath(QStringLiteral("full"))),
              dir.filePath(QStringLiteral("full (77)")));
}

TEST(Utilities, UniqueAndTemporaryFolders)
{
    TempDir dir;
    const QString wanted = dir.filePath(QStringLiteral("a/b/Attachments"));
    EXPECT_EQ(Utilities::createUniqueFolder(wanted), wanted);
    EXPECT_EQ(Utilities::createUniqueFolder(wanted), wanted + QStringLiteral(" (1)"));
    EXPECT_TRUE(QFileInfo(wanted + QStringLiteral(" (1)")).isDir());
    {
        const QString file = dir.write(QStringLiteral("plain"), "x");
        LogCapture log;
        EXPECT_FALSE(Utilities::createUniqueFolder(file + QStringLiteral("/inside")));
        EXPECT_EQ(log.lines().size(), 1);
    }

    TemporaryFolderOverride tmp(dir.path());
    const auto named = Utilities::createTemporaryFolderWithName(QStringLiteral("covers/abc"));
    ASSERT_TRUE(named);
    EXPECT_EQ(*named, dir.filePath(QStringLiteral("covers/abc")));
    EXPECT_TRUE(QFileInfo(*named).isDir());
    EXPECT_EQ(Utilities::createTemporaryFolderWithName(QStringLiteral("covers/abc")), named);
    const auto first = Utilities::createTemporaryFolderWithName();
    const auto second = Utilities::createTemporaryFolderWithName();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(first->startsWith(dir.path() + QLatin1Char('/')));

    dir.write(QStringLiteral("taken"), "x");
    QDir().mkdir(dir.filePath(QStringLiteral("real")));
    QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("linked")));
    for (const QString& bad :
         {QStringLiteral("../escape"), QStringLiteral("a/../../escape"),
          QStringLiteral("/absolute"), QStringLiteral("taken"), QStringLiteral("linked")})
        EXPECT_FALSE(Utilities::createTemporaryFolderWithName(bad)) << bad.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(dir.path()).dir().filePath("escape")));
}

TEST(Utilities, CsvQuotingAndTextDigest)
{
    const std::pair<QString, QString> csv[] = {
        {QStringLiteral("He said \"hi\""), QStringLiteral("\"He said \"\"hi\"\"\"")},
        {QString(), QStringLiteral("\"\"")},
        {QStringLiteral("a,b\nc"), QStringLiteral("\"a,b\nc\"")},
    };
    for (const auto& [text, quoted] : csv)
        EXPECT_EQ(Utilities::csvEscapeAndQuote(text), quoted);

    EXPECT_EQ(Utilities::sha1String(QStringLiteral("abc")),
              "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Utilities::sha1String(QString()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Utilities::sha1String(QString::fromUtf8("Été")),
              "544cc32b42e8106213e3f55cf91c5032251eb76c");
}

TEST(Utilities, CapturesOfTheFirstMatch)
{
    const QString iso =
        QStringLiteral("^([+-]{1})([0-9\\.]+)([+-]{1})([0-9\\.]+)(([+-]{1})([0-9\\.]+))?");
    const auto withAltitude =
        Utilities::captureFirstComponentsMatchedByRegex(iso, "+48.8577+002.2950+035.000/");
    ASSERT_TRUE(withAltitude);
    EXPECT_EQ(*withAltitude, (QStringList{"+48.8577+002.2950+035.000", "+", "48.8577", "+",
                                          "002.2950", "+035.000", "+", "035.000"}));
    // A group that did not take part still has its place.
    const auto without = Utilities::captureFirstComponentsMatchedByRegex(iso, "-33.8688+151.2093/");
    ASSERT_TRUE(without);
    EXPECT_EQ(*without,
              (QStringList{"-33.8688+151.2093", "-", "33.8688", "+", "151.2093", "", "", ""}));

    EXPECT_EQ(Utilities::captureFirstComponentsMatchedByRegex(iso, "48.8+2.3"), QStringList());
    EXPECT_EQ(Utilities::captureFirstComponentsMatchedByRegex("(b+)", "aBbB bb"),
              (QStringList{"BbB", "BbB"}));
    EXPECT_FALSE(Utilities::captureFirstComponentsMatchedByRegex("(unclosed", "text"));
    EXPECT_FALSE(Utilities::captureFirstComponentsMatchedByRegex("a", QString()));
}

TEST(Utilities, ExtensionsOfMimeTypes)
{
    const std::pair<const char*, const char*> cases[] = {
        {"image/jpeg", "jpg"}, {"image/png", "png"},   {"audio/mpeg", "mp3"},
        {"video/mp4", "mp4"},  {"image/heic", "heic"},
    };
    for (const auto& [type, extension] : cases)
        EXPECT_EQ(Utilities::fileExtensionFromMimeType(QLatin1String(type)),
                  QLatin1String(extension))
            << type;
    EXPECT_FALSE(Utilities::fileExtensionFromMimeType("application/x-no-such-type"));
    EXPECT_FALSE(Utilities::fileExtensionFromMimeType(QString()));
}

TEST(Utilities, ReadsFactsFromFreedesktopAttributesFirst)
{
    TempDir dir;
    if (!attributesSupported(dir.path()))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    const QString file = dir.write(QStringLiteral("clip.mp4"), "data");
    const QString link = dir.filePath(QStringLiteral("link.mp4"));
    QFile::link(file, link);
    const QString mac = QStringLiteral("user.");

    ASSERT_TRUE(setAttribute(file, "user.xdg.comment", "Hello"));
    ASSERT_TRUE(setAttribute(file, mac + keys::kXattrFinderComment, binaryPlist("Other")));
    ASSERT_TRUE(setAttribute(file, "user.xdg.origin.url", "https://a.example/x.mov"));
    ASSERT_TRUE(setAttribute(file, "user.xdg.referrer.url", "https://a.example/"));
    ASSERT_TRUE(
        setAttribute(file, mac + keys::kXattrAuthors, binaryPlist(QVariantList{"Ann", "Bob"})));
    ASSERT_TRUE(setAttribute(file, "user.xdg.tags", " Red, Work,, "));
    ASSERT_TRUE(
        setAttribute(file, mac + keys::kXattrUserTags, binaryPlist(QVariantList{"Ignored\n1"})));

    LogCapture log;
    // Attributes are read through links.
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrFinderComment, link), QVariant("Hello"));
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrWhereFroms, link),
              QVariant(QVariantList{"https://a.example/x.mov", "https://a.example/"}));
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrAuthors, link),
              QVariant(QVariantList{"Ann", "Bob"}));
    EXPECT_EQ(Utilities::tagNamesOnFileAtPath(link), (QStringList{"Red", "Work"}));
    EXPECT_EQ(Utilities::extendedAttributeData("user.xdg.comment", link), QByteArray("Hello"));
    EXPECT_EQ(Utilities::extendedAttributeData(keys::kXattrFinderComment, link),
              binaryPlist("Other"));

    FileError error;
    EXPECT_FALSE(Utilities::extendedAttribute(keys::kXattrDownloadedDate, link, &error));
    EXPECT_EQ(error.domain, kPosixErrorDomain);
    EXPECT_EQ(error.code, ENODATA);
    EXPECT_TRUE(log.lines().isEmpty()); // an absent attribute is no failure worth a line
}

TEST(Utilities, ReadsMacAttributesAndLogsUndecodableOnes)
{
    TempDir dir;
    if (!attributesSupported(dir.path()))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    const QString file = dir.write(QStringLiteral("clip.mp4"), "data");
    const QString mac = QStringLiteral("user.");
    const QDateTime when(QDate(2021, 6, 1), QTime(12, 0), Qt::UTC);
    ASSERT_TRUE(setAttribute(file, "user.xdg.origin.url", "https://only.example/"));
    ASSERT_TRUE(
        setAttribute(file, mac + keys::kXattrDownloadedDate, binaryPlist(QVariantList{when})));
    ASSERT_TRUE(setAttribute(file, mac + keys::kXattrUserTags,
                             binaryPlist(QVariantList{"Red\n6", "Project"})));
    ASSERT_TRUE(setAttribute(file, mac + keys::kXattrAuthors, "not a property list"));

    LogCapture log;
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrWhereFroms, file),
              QVariant("https://only.example/"));
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrDownloadedDate, file),
              QVariant(QVariantList{when}));
    EXPECT_EQ(Utilities::tagNamesOnFileAtPath(file), (QStringList{"Red", "Project"}));
    EXPECT_TRUE(log.lines().isEmpty());

    FileError error;
    EXPECT_FALSE(Utilities::extendedAttribute(keys::kXattrAuthors, file, &error));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(
        "Failed to unserialize xattr user.com.apple.metadata:kMDItemAuthors: "));
    EXPECT_EQ(error.domain, kPerspixErrorDomain);
}

TEST(Utilities, RemovesEveryAttributeOfAFact)
{
    TempDir dir;
    if (!attributesSupported(dir.path()))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    const QString file = dir.write(QStringLiteral("clip.mp4"), "data");
    const QString mac = QStringLiteral("user.");
    setAttribute(file, "user.xdg.origin.url", "https://a.example/");
    setAttribute(file, "user.xdg.referrer.url", "https://a.example/");
    setAttribute(file, mac + keys::kXattrWhereFroms, binaryPlist(QVariantList{"x"}));
    setAttribute(file, "user.xdg.comment", "keep me");

    EXPECT_TRUE(Utilities::removeExtendedAtrribute(keys::kXattrWhereFroms, file));
    EXPECT_FALSE(Utilities::extendedAttribute(keys::kXattrWhereFroms, file));
    EXPECT_EQ(Utilities::extendedAttribute(keys::kXattrFinderComment, file), QVariant("keep me"));

    FileError error;
    EXPECT_FALSE(Utilities::removeExtendedAtrribute(keys::kXattrWhereFroms, file, &error));
    EXPECT_EQ(error.code, ENODATA);
    // Clearing tags that are not there leaves the file as wanted: no tags.
    EXPECT_TRUE(Utilities::removeExtendedAtrribute(keys::kXattrUserTags, file));
    EXPECT_FALSE(Utilities::removeExtendedAtrribute(keys::kXattrUserTags,
                                                    dir.filePath(QStringLiteral("gone")), &error));
    EXPECT_EQ(error.domain, kPosixErrorDomain);
    EXPECT_EQ(error.code, ENOENT);
}

TEST(Utilities, TouchDateSetsTheModificationDate)
{
    TempDir dir;
    const QString file = dir.write(QStringLiteral("clip.mp4"), "data");
    const QString link = dir.filePath(QStringLiteral("link.mp4"));
    QFile::link(file, link);

    FileError error;
    ASSERT_TRUE(Utilities::touchDate("UTC 2012-03-04 05:06:07", link, &error))
        << error.description.toStdString();
    EXPECT_EQ(mtimeOf(file), 1330837567); // the target's date, not the link's
    ASSERT_TRUE(Utilities::touchDate("UTC 1969-12-31 23:59:00", file));
    EXPECT_EQ(mtimeOf(file), -60);

    for (const char* bad : {"2012-03-04 05:06:07", "UTC 2012-13-04 05:06:07",
                            "UTC 2012-03-04T05:06:07", "UTC 2012-03-04 05:06:07 GMT",
                            "utc 2012-03-04 05:06:07", "UTC 2012-02-30 00:00:00", ""}) {
        error = {};
        EXPECT_FALSE(Utilities::touchDate(QString::fromLatin1(bad), file, &error)) << bad;
        EXPECT_EQ(error.domain, kPerspixErrorDomain);
        EXPECT_EQ(error.code, 1);
        EXPECT_EQ(error.description, "Failed to convert the date");
    }
    EXPECT_EQ(mtimeOf(file), -60);

    EXPECT_FALSE(Utilities::touchDate("UTC 2012-03-04 05:06:07",
                                      dir.filePath(QStringLiteral("gone")), &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(Utilities::touchDate(QString(), file));
}
