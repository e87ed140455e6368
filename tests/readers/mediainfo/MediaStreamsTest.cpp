// The MediaInfo branch of the analysis on real films and sound files: the general record,
// the stream summaries, the extended groups, the per-stream records and export keys.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "QtPrinters.h"
#include "model/Keys.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "model/PerspixData.h"
#include "support/TestSupport.h"
#include "taglink/TaglinkStayOpenProcess.h"

namespace perspix {
namespace {

using test::dataPath;

PerspixDataPtr analyse(const QString& relativeOrAbsolute, QVariantMap options = {})
{
    options.insert(keys::kOptSkipExtAttributes, true);
    const QString path = QFileInfo(relativeOrAbsolute).isAbsolute() ? relativeOrAbsolute
                                                                    : dataPath(relativeOrAbsolute);
    return PerspixData::dataAboutFile(path, options);
}

struct Line
{
    QString key;
    QString name;
    quint64 index;
    QString text;
    qsizetype italicStart = -1;
    bool operator==(const Line&) const = default;
};

void PrintTo(const Line& l, std::ostream* os)
{
    *os << "{" << qPrintable(l.key) << ", " << qPrintable(l.name) << ", " << l.index << ", \""
        << qPrintable(l.text) << "\", " << l.italicStart << "}";
}

QList<Line> summaryLines(const PerspixData& data)
{
    QList<Line> lines;
    for (const ExtTreeItemPtr& item : data.generalInfo()->streams) {
        EXPECT_TRUE(item->isMediaStream());
        const QVariant value = item->value();
        const auto styled = value.value<StyledText>();
        if (value.canConvert<StyledText>() && value.userType() == qMetaTypeId<StyledText>())
            lines.append({item->key(), item->name(), item->mediaStreamIndex(), styled.text,
                          styled.italicStart});
        else
            lines.append({item->key(), item->name(), item->mediaStreamIndex(), value.toString()});
    }
    return lines;
}

struct Group
{
    QString key;
    QString name;
    quint64 index;
    bool operator==(const Group&) const = default;
};

void PrintTo(const Group& g, std::ostream* os)
{
    *os << "{" << qPrintable(g.key) << ", " << qPrintable(g.name) << ", " << g.index << "}";
}

QList<Group> groups(const PerspixData& data)
{
    QList<Group> result;
    for (const ExtTreeItemPtr& group : *data.extendedContent()) {
        EXPECT_TRUE(group->isGroupTree());
        result.append({group->key(), group->name(), group->mediaStreamIndex()});
    }
    return result;
}

// The extended group of a section's n-th stream (0-based among the groups of that key).
ExtTreeItemPtr groupOf(const PerspixData& data, const QString& key, int n = 0)
{
    for (const ExtTreeItemPtr& group : *data.extendedContent())
        if (group->key() == key && n-- == 0)
            return group;
    return nullptr;
}

QStringList childKeys(const ExtTreeItemPtr& group)
{
    QStringList keys;
    for (const ExtTreeItemPtr& item : group->children().value_or(ExtTreeList()))
        keys.append(item->key());
    return keys;
}

TEST(MediaStreams, FilmWithManyStreams)
{
    const auto data = analyse(QStringLiteral("media/multi.mkv"));
    ASSERT_TRUE(data && data->dict());
    EXPECT_TRUE(data->isVideo());
    EXPECT_TRUE(data->isAudio());
    EXPECT_FALSE(data->isUnknown());
    EXPECT_EQ(data->duration, 2024);

    const GeneralRecord& general = *data->generalInfo();
    EXPECT_EQ(general.string(keys::kFormat), QStringLiteral("Matroska"));
    EXPECT_EQ(general.string(keys::kFormatProfile), QString());
    EXPECT_TRUE(general.contains(keys::kFormatProfile));
    EXPECT_EQ(general.string(keys::kDuration), QStringLiteral("00:00:03"));
    EXPECT_EQ(general.string(keys::kBitrate), QStringLiteral("226 kb/s"));
    EXPECT_EQ(general.string(keys::kImageSize), QString());
    EXPECT_TRUE(general.values.value(keys::kCoverData).toByteArray().startsWith("\xFF\xD8"));

    const QString commentary = QStringLiteral("Opus, 48.0 kHz, Mono, English");
    EXPECT_EQ(summaryLines(*data),
              (QList<Line>{
                  {"Video", "Video", 0, "AVC, 320x240, 24.000 fps"},
                  {"Audio", "Audio #1", 0, commentary + " - Commentary", commentary.size() + 3},
                  {"Audio", "Audio #2", 1, "AAC, 44.1 kHz, Mono, French"},
                  {"Subtitles", "Subtitles #1", 0, "UTF-8, English"},
                  {"Subtitles", "Subtitles #2", 1, "UTF-8, French"},
                  {"Menu/Chapters", "Menu", 0, "2 chapters"},
              }));

    EXPECT_EQ(groups(*data), (QList<Group>{
                                 {"File", "File", 0},
                                 {"Container", "Container", 1},
                                 {"Video", "Video", 1},
                                 {"Audio", "Audio #1", 1},
                                 {"Audio", "Audio #2", 2},
                                 {"Subtitles", "Subtitles #1", 1},
                                 {"Subtitles", "Subtitles #2", 2},
                                 {"Menu/Chapters", "Menu/Chapters", 1},
                             }));

    // Every section has its list in "data", one map per group; empty sections too.
    const SectionData& sections = *data->data();
    const ExportOptions& exports = data->dict()->exportOptions;
    const QList<std::pair<QString, int>> counts = {
        {"File", 1},      {"Container", 1},     {"Video", 1}, {"Audio", 2},
        {"Subtitles", 2}, {"Menu/Chapters", 1}, {"Other", 0}, {"Image", 0}};
    for (const auto& [section, count] : counts) {
        ASSERT_TRUE(sections.contains(section)) << qPrintable(section);
        EXPECT_EQ(sections.value(section).size(), count) << qPrintable(section);
        EXPECT_EQ(exports.contains(section), count > 0) << qPrintable(section);
    }
    // The chapters are the menu's parameters.
    EXPECT_EQ(childKeys(groupOf(*data, "Menu/Chapters")),
              (QStringList{"00:00:00.000", "00:00:01.000"}));
    EXPECT_EQ(sections.value("Menu/Chapters").at(0).value("00:00:01.000").valueString(),
              QStringLiteral("Outro"));
}

TEST(MediaStreams, RecordsExportKeysAndTreeAgree)
{
    for (const char* file : {"media/multi.mkv", "media/paris.mp4", "audio/song.mp3"}) {
        SCOPED_TRACE(file);
        const auto data = analyse(QString::fromUtf8(file));
        ASSERT_TRUE(data && data->dict());
        QMap<QString, int> seen;
        for (const ExtTreeItemPtr& group : *data->extendedContent()) {
            if (group->key() == keys::kSectionFile)
                continue;
            const int n = seen[group->key()]++;
            const ParameterMap records = data->data()->value(group->key()).at(n);
            const QStringList exportKeys = data->dict()->exportOptions.value(group->key()).at(n);
            EXPECT_EQ(exportKeys, childKeys(group));
            EXPECT_EQ(records.size(), exportKeys.size());
            for (const ExtTreeItemPtr& item : group->children().value_or(ExtTreeList())) {
                EXPECT_EQ(records.value(item->key()).name, item->name());
                EXPECT_EQ(records.value(item->key()).value, item->value());
                EXPECT_FALSE(item->stringValue().isEmpty()) << qPrintable(item->key());
            }
        }
    }
}

TEST(MediaStreams, ContainerSkipsWhatTheFileSectionShows)
{
    for (const char* file : {"media/multi.mkv", "media/paris.mp4", "media/program.mpg",
                             "audio/stereo.wav", "media/timecode.mov"}) {
        SCOPED_TRACE(file);
        const auto data = analyse(QString::fromUtf8(file));
        ASSERT_TRUE(data && data->dict());
        const QStringList container = childKeys(groupOf(*data, "Container"));
        EXPECT_FALSE(container.isEmpty());
        for (const char* skipped : {"CompleteName", "FileSize/String", "FrameCount"})
            EXPECT_FALSE(container.contains(QString::fromUtf8(skipped))) << skipped;
        // Library labels (not raw names) survive our own label additions.
        EXPECT_EQ(data->data()->value("Container").at(0).value("Format/String").name,
                  QStringLiteral("Format"));
    }
    // The two counts the library does not mark for display are still shown in streams.
    const auto film = analyse(QStringLiteral("media/multi.mkv"));
    const QStringList video = childKeys(groupOf(*film, "Video"));
    EXPECT_TRUE(video.contains("FrameCount"));
    EXPECT_TRUE(video.contains("PixelAspectRatio"));
}

TEST(MediaStreams, StreamSizesAndDurationKeys)
{
    const struct
    {
        bool si;
        const char* key;
        const char* value;
        const char* absentKey;
    } cases[] = {
        {false, "StreamSize/String", "9.38 KiB (26%)", "StreamSize/String/SI"},
        {true, "StreamSize/String/SI", "9.61 KB (25.7%)", "StreamSize/String"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.si ? "SI units" : "binary units");
        const auto data =
            analyse(QStringLiteral("media/paris.mp4"), {{keys::kOptUseSIUnits, c.si}});
        ASSERT_TRUE(data && data->dict());
        const ParameterMap video = data->data()->value("Video").at(0);
        EXPECT_EQ(video.value(QString::fromUtf8(c.key)).valueString(), QString::fromUtf8(c.value));
        EXPECT_EQ(video.value(QString::fromUtf8(c.key)).name, QStringLiteral("Stream size"));
        EXPECT_FALSE(video.contains(QString::fromUtf8(c.absentKey)));
        const QStringList audio = childKeys(groupOf(*data, "Audio"));
        EXPECT_EQ(audio.contains("Source_StreamSize/String/SI"), c.si);
        EXPECT_EQ(audio.contains("Source_StreamSize/String"), !c.si);
        // Every section shows its duration under the first numbered text form.
        for (const char* section : {"Container", "Video", "Audio"}) {
            const ParameterMap stream = data->data()->value(section).at(0);
            EXPECT_EQ(stream.value("Duration/String1").valueString(), QStringLiteral("2 s 0 ms"));
            EXPECT_FALSE(stream.contains("Duration/String"));
        }
    }
}

TEST(MediaStreams, SummaryLinesOfSoundAndFilms)
{
    const struct
    {
        const char* file;
        int line;
        const char* text;
    } cases[] = {
        // codec, bit rate and its mode, sampling rate, channels
        {"audio/stereo.wav", 0, "PCM, 1 411.2 kb/s CBR, 44.1 kHz, Stereo"},
        {"audio/song.mp3", 0, "MP3, 128 kb/s CBR, 44.1 kHz, Mono"},
        {"audio/et-Vorbis.ogg", 0, "Vorbis, 32.0 kb/s VBR, 22.05 kHz, Stereo"},
        // no hint from the table: the codec ID's hint names the codec
        {"media/et-Matroska.mkv", 1, "MP3, 48.0 kHz, Stereo"},
        {"media/et-QuickTime.mov", 0, "JPEG, 320x240, 30.000 fps, 5 034 kb/s, English"},
        {"media/program.mpg", 0, "MPEG-2, 352x288, 25.000 fps, 527 kb/s"},
        {"media/program.mpg", 1, "MPEG Audio, 128 kb/s CBR, 44.1 kHz, Mono"},
        {"media/msmpeg4.avi", 0, "MS MPEG-4, 64x48, 10.000 fps, 75.0 kb/s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto data = analyse(QString::fromUtf8(c.file));
        ASSERT_TRUE(data && data->dict());
        const QList<Line> lines = summaryLines(*data);
        ASSERT_GT(lines.size(), c.line);
        EXPECT_EQ(lines.at(c.line).text, QString::fromUtf8(c.text));
    }
}

TEST(MediaStreams, KindsOfFiles)
{
    const struct
    {
        const char* file;
        bool video, audio, unknown;
    } cases[] = {
        {"audio/song.mp3", false, true, false},
        {"media/paris.mp4", true, true, false},
        {"media/nyc.mp4", true, false, false},
        {"media/timecode-only.mov", false, false, true},
        {"media/truncated.mp4", false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto data = analyse(QString::fromUtf8(c.file));
        ASSERT_TRUE(data);
        EXPECT_EQ(data->isVideo(), c.video);
        EXPECT_EQ(data->isAudio(), c.audio);
        EXPECT_EQ(data->isUnknown(), c.unknown);
        EXPECT_FALSE(data->isImage());
    }
}

TEST(MediaStreams, OtherStreamsInTheSummaryOnlyWhenAsked)
{
    const auto hidden = analyse(QStringLiteral("media/timecode-only.mov"));
    ASSERT_TRUE(hidden && hidden->dict());
    EXPECT_TRUE(summaryLines(*hidden).isEmpty());
    // The extended tree shows the stream either way.
    EXPECT_EQ(groups(*hidden).last(), (Group{"Other", "Other", 1}));
    EXPECT_EQ(hidden->data()->value("Other").at(0).value("Type").valueString(),
              QStringLiteral("Time code"));

    const QVariantMap shown = {{keys::kOptDisplayOtherTracksInGeneral, true}};
    const auto only = analyse(QStringLiteral("media/timecode-only.mov"), shown);
    EXPECT_EQ(summaryLines(*only), (QList<Line>{{"Other", "Other", 0, "Time code"}}));
    EXPECT_TRUE(only->isUnknown());
    const auto film = analyse(QStringLiteral("media/timecode.mov"), shown);
    EXPECT_EQ(summaryLines(*film),
              (QList<Line>{{"Video", "Video", 0, "AVC, 160x120, 25.000 fps, 27.2 kb/s"},
                           {"Other", "Other", 0, "Time code"}}));
}

TEST(MediaStreams, CoverPictureIsTheFirstOne)
{
    const struct
    {
        const char* file;
        QByteArray start; // empty: no cover
    } cases[] = {
        {"audio/song.mp3", QByteArray("\xFF\xD8\xFF", 3)},
        {"audio/two-covers.mp3", QByteArray("\xFF\xD8\xFF", 3)}, // the JPEG, not the PNG
        {"audio/tone.flac", QByteArray("\xFF\xD8\xFF", 3)},
        {"media/et-QuickTime.m4a", QByteArray("<Dummy cover art 1>")},
        {"audio/stereo.wav", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto data = analyse(QString::fromUtf8(c.file));
        ASSERT_TRUE(data && data->dict());
        const GeneralRecord& general = *data->generalInfo();
        EXPECT_EQ(general.contains(keys::kCoverData), !c.start.isEmpty());
        if (!c.start.isEmpty()) {
            const QByteArray cover = general.values.value(keys::kCoverData).toByteArray();
            EXPECT_TRUE(cover.startsWith(c.start));
            if (c.start.startsWith('<')) {
                EXPECT_EQ(cover, c.start);
            }
        }
    }
}

// A film without a cover gets a frame, scaled to 256 at most, when the slow thumbnails are
// asked for; sound, damaged films and the fast setting get none, and never a cover.
TEST(MediaStreams, FramesOfFilmsWithoutCover)
{
    // A film whose boxes are whole but whose pictures are zeros: the library finds a video
    // stream, the decoder nothing to show.
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.mp4"));
    {
        QFile source(dataPath(QStringLiteral("media/paris.mp4")));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        const qsizetype mdat = bytes.indexOf("mdat");
        const qsizetype moov = bytes.indexOf("moov");
        ASSERT_TRUE(mdat > 0 && moov > mdat);
        bytes.replace(mdat + 4, moov - 4 - (mdat + 4), QByteArray(moov - 4 - (mdat + 4), '\0'));
        QFile target(broken);
        ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write(bytes) == bytes.size());
    }
    // A name that is not UTF-8 reaches the decoder with its bytes.
    const QString latin = NativePath::decoded(QFile::encodeName(dir.path()) + "/par\xe9s.mp4");
    ASSERT_TRUE(NativePath::copy(dataPath(QStringLiteral("media/paris.mp4")), latin));
    const auto exiftool = taglink::TaglinkStayOpenProcess::init();
    ASSERT_TRUE(exiftool);
    const struct
    {
        QString file;
        bool slow;
        QSize frame; // invalid: no frame
        bool byExiftool = false;
    } cases[] = {
        {"media/paris.mp4", true, {256, 192}},
        {"media/clip.webm", true, {256, 144}},
        {"media/msmpeg4.avi", true, {64, 48}},
        {"media/paris.mp4", false, {}},
        {"audio/stereo.wav", true, {}},
        {"audio/song.mp3", true, {}}, // has its own cover
        {"media/truncated.mp4", true, {}},
        {broken, true, {}},
        {latin, true, {256, 192}},
        // Films read by ExifTool get the same frame.
        {"media/paris.mp4", true, {256, 192}, true},
        {"media/msmpeg4.avi", true, {64, 48}, true},
        {"media/paris.mp4", false, {}, true},
        {"audio/stereo.wav", true, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NativePath::shown(c.file).toStdString() + (c.slow ? " slow" : " fast") +
                     (c.byExiftool ? " exiftool" : ""));
        QVariantMap options{{keys::kOptUseSlowThumbProcessing, c.slow},
                            {keys::kOptMakeFilmFrames, true},
                            {keys::kOptSkipExtAttributes, true}};
        if (c.byExiftool)
            options.insert(keys::kOptVideoUtility, keys::kVideoUtilityExiftool);
        const auto data = PerspixData::dataAboutFile(
            c.file.startsWith(QLatin1Char('/')) ? c.file : dataPath(c.file), options,
            exiftool.get());
        ASSERT_TRUE(data && data->dict());
        const GeneralRecord& general = *data->generalInfo();
        const QImage frame = general.values.value(keys::kFrameThumbnail).value<QImage>();
        EXPECT_EQ(frame.isNull() ? QSize() : frame.size(), c.frame);
        EXPECT_FALSE(data->hasCover() && !general.contains(keys::kCoverData));
        if (!frame.isNull()) {
            // A real picture, not a black or empty buffer.
            const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
            EXPECT_GT(centre.red() + centre.green() + centre.blue(), 30);
        }
    }
    EXPECT_EQ(analyse(broken)->generalInfo()->string(keys::kFormat), QStringLiteral("MPEG-4"));
    // Without a window to show it, no frame is made.
    const auto unseen =
        analyse(QStringLiteral("media/paris.mp4"), {{keys::kOptUseSlowThumbProcessing, true}});
    EXPECT_FALSE(unseen->generalInfo()->contains(keys::kFrameThumbnail));
    // The window's analysis leaves the frame to be made when the film is shown.
    const auto deferred =
        analyse(QStringLiteral("media/paris.mp4"), {{keys::kOptUseSlowThumbProcessing, true},
                                                    {keys::kOptMakeFilmFrames, true},
                                                    {keys::kOptDeferSlowCovers, true}});
    const QString toMake = deferred->generalInfo()->string(keys::kCoverToMake);
    EXPECT_FALSE(deferred->generalInfo()->contains(keys::kFrameThumbnail));
    EXPECT_EQ(
        PerspixData::makeDeferredCover(dataPath(QStringLiteral("media/paris.mp4")), toMake).size(),
        QSize(256, 192));
    NativePath::remove(latin); // QTemporaryDir cannot name it
}

TEST(MediaStreams, LocationFromQuickTimeOrUserData)
{
    const struct
    {
        const char* file;
        double latitude, longitude;
    } cases[] = {
        {"media/paris.mp4", 48.8577, 2.295},
        {"media/sydney.mov", -33.8688, 151.2093},
        {"media/nyc.mp4", 40.7128, -74.006}, // the "xyz" item
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto data = analyse(QString::fromUtf8(c.file));
        ASSERT_TRUE(data && data->mapLocation());
        EXPECT_DOUBLE_EQ(data->mapLocation()->latitude, c.latitude);
        EXPECT_DOUBLE_EQ(data->mapLocation()->longitude, c.longitude);
    }
    EXPECT_FALSE(analyse(QStringLiteral("media/multi.mkv"))->mapLocation());
}

TEST(MediaStreams, NamesWithAccentsCjkAndEmoji)
{
    test::TempDir dir;
    const QStringList paths = {
        dataPath(QStringLiteral("media/Été à Paris (2).mp4")),
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("巴黎之旅 视频.mp4")),
        dir.copyData(QStringLiteral("media/paris.mp4"), QStringLiteral("🗼 Paris.mp4")),
    };
    const auto reference = analyse(QStringLiteral("media/paris.mp4"));
    ASSERT_TRUE(reference && reference->dict());
    for (const QString& path : paths) {
        SCOPED_TRACE(qPrintable(path));
        const auto data = analyse(path);
        ASSERT_TRUE(data && data->dict());
        EXPECT_EQ(summaryLines(*data), summaryLines(*reference));
        EXPECT_EQ(groups(*data), groups(*reference));
        EXPECT_EQ(data->data()->value("Video"), reference->data()->value("Video"));
        EXPECT_EQ(data->data()->value("File").at(0).value(keys::kFileName).valueString(),
                  QFileInfo(path).fileName());
        EXPECT_TRUE(data->mapLocation());
    }
}

TEST(MediaStreams, ThreadsAnalyseSideBySide)
{
    // One adapter per file and thread: four threads at once, starting together in a fresh
    // process, give what one thread gives afterwards.
    const QStringList files = {"media/multi.mkv",    "media/paris.mp4",   "audio/song.mp3",
                               "media/timecode.mov", "media/program.mpg", "audio/tone.flac"};
    constexpr int kThreads = 4;
    std::vector<QList<PerspixDataPtr>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 2; ++round)
                for (qsizetype i = 0; i < files.size(); ++i)
                    results[t].append(analyse(files.at((i + t) % files.size())));
        });
    for (std::thread& thread : threads)
        thread.join();

    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(results[t].size(), 2 * files.size());
        for (qsizetype r = 0; r < results[t].size(); ++r) {
            const QString file = files.at((r % files.size() + t) % files.size());
            SCOPED_TRACE(qPrintable(file));
            const auto expected = analyse(file);
            const PerspixDataPtr& data = results[t].at(r);
            ASSERT_TRUE(data && data->dict());
            EXPECT_TRUE(*data->data() == *expected->data());
            EXPECT_EQ(summaryLines(*data), summaryLines(*expected));
        }
    }
}

TEST(MediaStreams, FilesTheLibraryCannotOpen)
{
    test::TempDir dir;
    for (const QString& path : {dir.filePath(QStringLiteral("gone.mp4")), dir.path()}) {
        LogCapture log;
        EXPECT_FALSE(PerspixData::dataAboutFile(path, {}));
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Failed to parse with MI: ") + path});
    }
}

TEST(MediaStreams, DamagedAndUnrecognisedFilesStillAnalyse)
{
    test::TempDir dir;
    const QString text = dir.write(QStringLiteral("notes.mp4"), "not a film at all\n");
    const QString empty = dir.write(QStringLiteral("empty.mov"), QByteArray());
    for (const QString& path : {dataPath(QStringLiteral("media/truncated.mp4")), text, empty}) {
        SCOPED_TRACE(qPrintable(path));
        const auto data = analyse(path);
        ASSERT_TRUE(data && data->dict());
        EXPECT_TRUE(data->isUnknown());
        EXPECT_EQ(data->duration, 0);
        EXPECT_EQ(data->generalInfo()->string(keys::kDuration), QString());
        EXPECT_EQ(groups(*data).first(), (Group{"File", "File", 0}));
    }
    EXPECT_EQ(analyse(text)->generalInfo()->string(keys::kFormat), keys::kUnknownFormat);
}

} // namespace
} // namespace perspix
