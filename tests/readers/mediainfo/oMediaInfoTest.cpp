// The libmediainfo adapter against real sample files: paths, codec hints, "/SI" sizes,
// reports, the parameter list and cover extraction.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "readers/mediainfo/oMediaInfo.h"
#include "support/TestSupport.h"

namespace perspix {
namespace {

using test::dataPath;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(oMediaInfo, DurationTextRoundsUpToWholeSeconds)
{
    const struct
    {
        qint64 milliseconds;
        const char* text;
    } cases[] = {
        {0, ""},
        {-1500, ""},
        {1, "00:00:01"},
        {1000, "00:00:01"},
        {1001, "00:00:02"},
        {59999, "00:01:00"},
        {3600000, "01:00:00"},
        {3600001, "01:00:01"},
        {100LL * 3600 * 1000, "100:00:00"},
        {5000000000LL, "1388:53:20"}, // beyond 32 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(oMediaInfo::formatDurationUpToSeconds(c.milliseconds), QString::fromUtf8(c.text))
            << c.milliseconds;
}

TEST(oMediaInfo, CodecHintsOfRealStreams)
{
    const struct
    {
        const char* file;
        StreamKind kind;
        const char* hint;
    } cases[] = {
        {"audio/song.mp3", StreamKind::Audio, "MP3"},          // MPEG Audio Version 1 Layer 3
        {"media/et-Matroska.mkv", StreamKind::Audio, ""},      // no version or layer: no hint
        {"media/program.mpg", StreamKind::Video, "MPEG-2"},    // MPEG Video Version 2
        {"media/msmpeg4.avi", StreamKind::Video, "MS MPEG-4"}, // MP43, hint "Microsoft"
        {"media/program.mpg", StreamKind::Audio, ""},          // Layer 2: not in the table
        {"media/paris.mp4", StreamKind::Video, ""},
        {"media/paris.mp4", StreamKind::Audio, ""},
    };
    for (const auto& c : cases) {
        oMediaInfo mi;
        ASSERT_TRUE(mi.Open(dataPath(QString::fromUtf8(c.file)))) << c.file;
        EXPECT_EQ(mi.myCodecHint(c.kind, 0), QString::fromUtf8(c.hint)) << c.file;
    }
}

TEST(oMediaInfo, DecimalSizePseudoParameters)
{
    const struct
    {
        const char* file;
        StreamKind kind;
        const char* parameter;
        const char* value;
    } cases[] = {
        {"media/paris.mp4", StreamKind::General, "FileSize/String/SI", "37.5 KB"},
        {"media/paris.mp4", StreamKind::Video, "StreamSize/String/SI", "9.61 KB (25.7%)"},
        {"media/paris.mp4", StreamKind::Audio, "StreamSize/String/SI", "24.1 KB (64.4%)"},
        {"media/paris.mp4", StreamKind::Audio, "Source_StreamSize/String/SI", "24.5 KB (65.3%)"},
        {"media/program.mpg", StreamKind::Video, "StreamSize/String/SI", "132 KB (78.4%)"},
        // The library knows this stream's size but not its share.
        {"media/et-QuickTime.m4a", StreamKind::Audio, "StreamSize/String/SI", "107 KB"},
        {"media/multi.mkv", StreamKind::Video, "StreamSize/String/SI", ""},
        {"media/paris.mp4", StreamKind::Video, "Source_StreamSize/String/SI", ""},
        {"media/paris.mp4", StreamKind::Video, "NoSuchParameter", ""},
    };
    for (const auto& c : cases) {
        oMediaInfo mi;
        ASSERT_TRUE(mi.Open(dataPath(QString::fromUtf8(c.file)))) << c.file;
        EXPECT_EQ(mi.GetFromStream(c.kind, 0, QString::fromUtf8(c.parameter)),
                  QString::fromUtf8(c.value))
            << c.file << " " << c.parameter;
    }
}

TEST(oMediaInfo, StreamsAndParametersBeyondTheFileReadEmpty)
{
    oMediaInfo mi;
    ASSERT_TRUE(mi.Open(dataPath(QStringLiteral("media/paris.mp4"))));
    EXPECT_EQ(mi.numberOfStreams(StreamKind::Video), 1u);
    EXPECT_EQ(mi.numberOfStreams(StreamKind::Text), 0u);
    EXPECT_EQ(mi.GetVideo(3, QStringLiteral("Format")), QString());
    EXPECT_EQ(mi.GetI(StreamKind::Video, 0, 100000, InfoKind::Text), QString());
    EXPECT_EQ(mi.numberOfOptionsInStreamAtIndex(5, StreamKind::Audio), 0u);
}

TEST(oMediaInfo, ParameterHeadsAreWhatTheLibraryAnswers)
{
    // The fixed parameters are answered from memory after the first file; a file's own
    // extra parameters (Matroska's attachments, chapters, QuickTime keys) are read each time.
    for (const char* file : {"media/multi.mkv", "media/paris.mp4", "media/timecode-only.mov",
                             "audio/two-covers.mp3", "media/multi.mkv"}) {
        oMediaInfo mi;
        ASSERT_TRUE(mi.Open(dataPath(QString::fromUtf8(file)))) << file;
        for (int k = 0; k < 7; ++k) {
            const auto kind = static_cast<StreamKind>(k);
            for (std::size_t s = 0; s < mi.numberOfStreams(kind); ++s) {
                const std::size_t count = mi.numberOfOptionsInStreamAtIndex(s, kind);
                ASSERT_GT(count, 0u);
                for (std::size_t p = 0; p < count; ++p) {
                    const ParameterHead expected{
                        mi.GetI(kind, s, p, InfoKind::Name),
                        mi.GetI(kind, s, p, InfoKind::NameText),
                        mi.GetI(kind, s, p, InfoKind::Options).startsWith(QLatin1Char('Y'))};
                    ASSERT_EQ(mi.parameterHead(kind, s, p), expected)
                        << file << " kind " << k << " stream " << s << " parameter " << p << " "
                        << qPrintable(expected.name);
                }
            }
        }
    }
}

TEST(oMediaInfo, PathsThatDoNotOpen)
{
    test::TempDir dir;
    for (const QString& path :
         {QString(), dir.filePath(QStringLiteral("missing.mp4")), dir.path()}) {
        oMediaInfo mi;
        EXPECT_FALSE(mi.Open(path)) << qPrintable(path);
        EXPECT_EQ(mi.GetGeneral(0, QStringLiteral("Format")), QString());
    }
}

TEST(oMediaInfo, NonAsciiPathsOpenAndComeBackUnchanged)
{
    test::TempDir dir;
    const QStringList paths = {
        dataPath(QStringLiteral("media/Été à Paris (2).mp4")),
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("東京の夜 映像.mp4")),
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("clip 🎬 final.mp4")),
    };
    for (const QString& path : paths) {
        ASSERT_TRUE(QFileInfo::exists(path));
        oMediaInfo mi;
        ASSERT_TRUE(mi.Open(path)) << qPrintable(path);
        EXPECT_EQ(mi.GetGeneral(0, QStringLiteral("Format")), QStringLiteral("MPEG-4"));
        // Characters beyond 16 bits (the emoji) survive the way back from the library.
        EXPECT_EQ(mi.GetGeneral(0, QStringLiteral("CompleteName")), path);
    }
}

TEST(oMediaInfo, ParameterListHasEverySectionAndTheSIForms)
{
    const ParameterDictionary sections = oMediaInfo::dictionaryOfParameters();
    EXPECT_EQ(sections.keys(), (QStringList{"Audio", "Container", "Image", "Menu/Chapters", "Other",
                                            "Subtitles", "Video"}));
    const auto precedes = [&](const QString& section, const QString& first, const QString& second) {
        const QStringList& names = sections.value(section);
        const qsizetype at = names.indexOf(second);
        return at > 0 && names.at(at - 1) == first;
    };
    EXPECT_TRUE(precedes("Container", "FileSize/String/SI", "FileSize/String"));
    EXPECT_TRUE(precedes("Container", "StreamSize/String/SI", "StreamSize/String"));
    EXPECT_TRUE(precedes("Video", "StreamSize/String/SI", "StreamSize/String"));
    EXPECT_TRUE(precedes("Audio", "Source_StreamSize/String/SI", "Source_StreamSize/String"));
    EXPECT_FALSE(sections.value("Video").contains("FileSize/String/SI"));
    for (auto it = sections.begin(); it != sections.end(); ++it) {
        EXPECT_GT(it->size(), 50) << qPrintable(it.key());
        EXPECT_TRUE(it->contains("Format")) << qPrintable(it.key());
        for (const QString& name : *it)
            EXPECT_FALSE(name.isEmpty() || name.contains(';') || name != name.trimmed());
    }
}

TEST(oMediaInfo, ReportsAndTheTraceDoesNotLinger)
{
    const QString film = dataPath(QStringLiteral("media/paris.mp4"));
    EXPECT_FALSE(oMediaInfo::InformCompleteOnFile(dataPath(QStringLiteral("nothing.mp4"))));
    EXPECT_FALSE(oMediaInfo::InformTraceOnFile(dataPath(QStringLiteral("nothing.mp4"))));

    const auto complete = oMediaInfo::InformCompleteOnFile(film);
    ASSERT_TRUE(complete);
    EXPECT_TRUE(complete->contains(QStringLiteral("Complete name")));
    EXPECT_TRUE(complete->contains(QStringLiteral("com.apple.quicktime.location.ISO6709")));

    const auto trace = oMediaInfo::InformTraceOnFile(film);
    ASSERT_TRUE(trace);
    EXPECT_TRUE(trace->contains(QStringLiteral("File Type")));
    EXPECT_GT(trace->size(), complete->size());

    // The trace switch is library-wide: later reports must be the plain ones again.
    EXPECT_EQ(oMediaInfo::InformCompleteOnFile(film), complete);
    oMediaInfo mi;
    ASSERT_TRUE(mi.Open(film));
    EXPECT_TRUE(mi.Inform().startsWith(QStringLiteral("General")));
    EXPECT_LT(mi.Inform().size(), complete->size());
}

TEST(oMediaInfo, LibraryVersion)
{
    EXPECT_TRUE(oMediaInfo::libVersion().startsWith(QStringLiteral("MediaInfoLib - v")));
}

struct CoverCase
{
    const char* file;
    QStringList names;
    QList<QByteArray> starts; // first bytes of each written file
};

TEST(oMediaInfo, CoversAreNamedByTypeAndMimeType)
{
    const QByteArray jpeg("\xFF\xD8\xFF", 3);
    const QByteArray png("\x89PNG", 4);
    const CoverCase cases[] = {
        {"audio/two-covers.mp3", {"Cover (front).jpg", "Cover (back).png"}, {jpeg, png}},
        {"audio/song.mp3", {"Cover (front).jpg"}, {jpeg}},
        // Two pictures without type or MIME type share one name: the second is numbered.
        {"media/et-QuickTime.m4a",
         {"Cover.jpg", "Cover (1).jpg"},
         {"<Dummy cover art 1>", "<Dummy cover art 2>"}},
        {"media/multi.mkv", {"Cover.jpg"}, {jpeg}},
        {"audio/stereo.wav", {}, {}},
    };
    for (const CoverCase& c : cases) {
        SCOPED_TRACE(c.file);
        test::TempDir dir;
        QStringList written;
        ASSERT_TRUE(oMediaInfo::saveCoversOfFile(dataPath(QString::fromUtf8(c.file)), dir.path(),
                                                 &written));
        ASSERT_EQ(written.size(), c.names.size());
        for (qsizetype i = 0; i < written.size(); ++i) {
            EXPECT_EQ(written.at(i), dir.filePath(c.names.at(i)));
            EXPECT_TRUE(readFile(written.at(i)).startsWith(c.starts.at(i)));
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), c.names.size());
    }
}

TEST(oMediaInfo, CoversNeverOverwriteExistingFiles)
{
    test::TempDir dir;
    const QString taken = dir.write(QStringLiteral("Cover (front).jpg"), "mine");
    dir.write(QStringLiteral("Cover (back) (1).png"), "mine too");
    QStringList written;
    ASSERT_TRUE(oMediaInfo::saveCoversOfFile(dataPath(QStringLiteral("audio/two-covers.mp3")),
                                             dir.path(), &written));
    EXPECT_EQ(written, (QStringList{dir.filePath(QStringLiteral("Cover (front) (1).jpg")),
                                    dir.filePath(QStringLiteral("Cover (back).png"))}));
    EXPECT_EQ(readFile(taken), QByteArray("mine"));

    // A second run numbers on.
    ASSERT_TRUE(oMediaInfo::saveCoversOfFile(dataPath(QStringLiteral("audio/two-covers.mp3")),
                                             dir.path(), &written));
    EXPECT_EQ(written, (QStringList{dir.filePath(QStringLiteral("Cover (front) (2).jpg")),
                                    dir.filePath(QStringLiteral("Cover (back) (2).png"))}));
}

TEST(oMediaInfo, CoversOfAFileThatDoesNotOpen)
{
    test::TempDir dir;
    QStringList written{QStringLiteral("stale")};
    EXPECT_FALSE(oMediaInfo::saveCoversOfFile(dir.filePath(QStringLiteral("none.mp3")), dir.path(),
                                              &written));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    // Without an out-list the covers are still written.
    EXPECT_TRUE(
        oMediaInfo::saveCoversOfFile(dataPath(QStringLiteral("audio/song.mp3")), dir.path()));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("Cover (front).jpg"))));
}

} // namespace
} // namespace perspix
