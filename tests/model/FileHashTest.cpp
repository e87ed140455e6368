#include <gtest/gtest.h>

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

#include "model/FileHash.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

namespace {

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 251) & 0xff);
    return bytes;
}

} // namespace

TEST(FileHash, KnownDigests)
{
    TempDir dir;
    struct Case
    {
        QByteArray contents;
        const char* md5;
        const char* sha1;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {QByteArray(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21",
         "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases) {
        const QString path = dir.write(QStringLiteral("f"), c.contents);
        EXPECT_EQ(FileHash::md5HashOfFileAtPath(path), QString::fromLatin1(c.md5));
        EXPECT_EQ(FileHash::sha1HashOfFileAtPath(path), QString::fromLatin1(c.sha1));
        const auto both = FileHash::md5AndSha1OfFileAtPath(path);
        ASSERT_TRUE(both);
        EXPECT_EQ(both->md5, QString::fromLatin1(c.md5));
        EXPECT_EQ(both->sha1, QString::fromLatin1(c.sha1));
    }
    EXPECT_EQ(FileHash::hashOfBytes("abc", FileHash::Algorithm::SHA512),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
}

// Sizes around the buffer's edges: a file filling the buffer exactly, one byte more, and
// several buffers; each must give the digest of its whole contents.
TEST(FileHash, FilesAroundTheBufferSize)
{
    TempDir dir;
    const qsizetype b = FileHash::kBufferSize;
    for (const qsizetype size : {qsizetype(1), b - 1, b, b + 1, 3 * b - 1, 3 * b}) {
        SCOPED_TRACE(size);
        const QByteArray contents = pattern(size);
        const QString path = dir.write(QStringLiteral("f%1").arg(size), contents);
        const auto texts =
            FileHash::hashesOfFileAtPath(path, {FileHash::Algorithm::SHA1, FileHash::Algorithm::MD5,
                                                FileHash::Algorithm::SHA512});
        ASSERT_TRUE(texts);
        EXPECT_EQ(texts->at(0), FileHash::hashOfBytes(contents, FileHash::Algorithm::SHA1));
        EXPECT_EQ(texts->at(1), FileHash::hashOfBytes(contents, FileHash::Algorithm::MD5));
        EXPECT_EQ(texts->at(2), FileHash::hashOfBytes(contents, FileHash::Algorithm::SHA512));
        EXPECT_EQ(texts->at(1).size(), 32);
    }
}

TEST(FileHash, WhatIsNoRegularFileGivesNothing)
{
    TempDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString loop = dir.filePath(QStringLiteral("loop"));
    QFile::link(loop, loop);
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    QFile::link(dir.filePath(QStringLiteral("gone")), dangling);
    // A pipe nobody writes to must not make the digest wait.
    for (const QString& path :
         {QString(), dir.filePath(QStringLiteral("missing")), dir.path(), fifo, loop, dangling}) {
        EXPECT_FALSE(FileHash::md5HashOfFileAtPath(path)) << path.toStdString();
        EXPECT_FALSE(FileHash::md5AndSha1OfFileAtPath(path)) << path.toStdString();
    }
}

TEST(FileHash, UnreadableFileGivesNothing)
{
    TempDir dir;
    const QString path = dir.write(QStringLiteral("secret"), "data");
    ::chmod(QFile::encodeName(path).constData(), 0);
    if (::access(QFile::encodeName(path).constData(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(FileHash::sha1HashOfFileAtPath(path));
}
