// Paths that keep the bytes of names that are not UTF-8, against the real file system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "model/NativePath.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

TEST(NativePath, BytesSurviveTheTripThroughTextAndShowAsReplacementCharacters)
{
    struct Case
    {
        QByteArray bytes;
        QString shown;
    };
    const Case cases[] = {
        {"", ""},
        {"/plain/ascii.mp4", "/plain/ascii.mp4"},
        {"/d/caf\xc3\xa9.jpg", QString::fromUtf8("/d/caf\xc3\xa9.jpg")},
        {"/d/caf\xe9.jpg", QString::fromUtf8("/d/caf\xef\xbf\xbd.jpg")},
        {"/100%/a b#?\xe9", QString::fromUtf8("/100%/a b#?\xef\xbf\xbd")},
        {"\xff\xfe", QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd")},
        // A sequence cut short, an overlong form, an encoded surrogate: each byte kept.
        {"a\xe2\x82", QString::fromUtf8("a\xef\xbf\xbd\xef\xbf\xbd")},
        {"\xc0\xaf", QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd")},
        {"\xed\xb3\xa9", QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd")},
        {"\xf0\x9f\x98\x80\x80", QString::fromUtf8("\xf0\x9f\x98\x80\xef\xbf\xbd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        const QString path = NativePath::decoded(c.bytes);
        EXPECT_EQ(NativePath::encoded(path), c.bytes);
        EXPECT_EQ(NativePath::shown(path), c.shown);
        EXPECT_EQ(NativePath::isText(path), !c.shown.contains(QChar(QChar::ReplacementCharacter)));
        // As a file URL (a drop, a project) too.
        if (c.bytes.startsWith('/')) {
            EXPECT_EQ(NativePath::encoded(NativePath::ofUrl(NativePath::url(path))), c.bytes);
        }
    }
}

TEST(NativePath, FilesUnderNamesThatAreNotUtf8)
{
    TempDir dir;
    const QString folder = NativePath::decoded(NativePath::encoded(dir.path()) + "/d\xe9");
    const QString file = folder + NativePath::decoded("/caf\xe9.jpg");
    ASSERT_TRUE(NativePath::makePath(folder));
    QFile out;
    ASSERT_TRUE(NativePath::open(out, file, QIODevice::WriteOnly | QIODevice::NewOnly));
    out.write("bytes");
    out.close();
    QFile again;
    EXPECT_FALSE(NativePath::open(again, file, QIODevice::WriteOnly | QIODevice::NewOnly));
    struct stat st;
    const QByteArray bytes = NativePath::encoded(dir.path()) + "/d\xe9/caf\xe9.jpg";
    ASSERT_EQ(::stat(bytes.constData(), &st), 0);
    EXPECT_TRUE(NativePath::isRegularFile(file));
    // The name as a file dialog hands it back (U+FFFD in folder and file) finds the file.
    EXPECT_EQ(NativePath::encoded(NativePath::ofShown(NativePath::shown(file))), bytes);

    const QString copy = folder + NativePath::decoded("/copy \xe9.jpg");
    EXPECT_TRUE(NativePath::copy(file, copy));
    EXPECT_FALSE(NativePath::copy(file, copy)); // never over an existing file
    QFile in;
    ASSERT_TRUE(NativePath::open(in, copy, QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), "bytes");

    // A library that takes text reaches the file through a link with a text name.
    QString aliasPath;
    {
        const NativePath::TextAlias alias(file);
        aliasPath = alias.path();
        EXPECT_TRUE(NativePath::isText(aliasPath));
        EXPECT_TRUE(aliasPath.endsWith(QString::fromUtf8("caf\xef\xbf\xbd.jpg")));
        QFile viaQt(aliasPath);
        ASSERT_TRUE(viaQt.open(QIODevice::ReadOnly));
        EXPECT_EQ(viaQt.readAll(), "bytes");
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(aliasPath).absolutePath()));

    // Kinds no reader may open.
    const QString fifo = dir.filePath("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString link = dir.filePath("link.mp4");
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link, QStringLiteral("/dev/null"), dir.path()})
        EXPECT_FALSE(NativePath::isRegularFile(path)) << path.toStdString();
}

TEST(NativePath, AbsoluteKeepsLinksAndBytes)
{
    TempDir dir;
    const QString previous = QDir::currentPath();
    const QByteArray here = NativePath::encoded(dir.path()) + "/w\xe9";
    ASSERT_EQ(::mkdir(here.constData(), 0755), 0);
    const QByteArray link = NativePath::encoded(dir.path()) + "/ln";
    ASSERT_EQ(::symlink(here.constData(), link.constData()), 0);
    ASSERT_EQ(::chdir(link.constData()), 0);
    // The shell names the working folder by the link it went through.
    const QByteArray shellFolder = qgetenv("PWD");
    qputenv("PWD", link);
    const QString base = dir.path() + "/ln";
    EXPECT_EQ(NativePath::absolute("paris.mp4"), base + "/paris.mp4");
    EXPECT_EQ(NativePath::absolute("./a/../paris.mp4"), base + "/paris.mp4");
    EXPECT_EQ(NativePath::absolute("."), base);
    EXPECT_EQ(NativePath::absolute("/x/./y"), "/x/y");
    EXPECT_EQ(NativePath::encoded(NativePath::absolute(NativePath::decoded("caf\xe9"))),
              NativePath::encoded(base) + "/caf\xe9");
    // A stale name falls back on the folder itself.
    qputenv("PWD", "/");
    EXPECT_EQ(NativePath::encoded(NativePath::absolute("x")), here + "/x");
    qputenv("PWD", shellFolder);
    ASSERT_TRUE(QDir::setCurrent(previous));
}
