// Every Exif, IPTC and XMP value the adapter keeps must be what the exiv2 tool, which
// reads with the same library, prints for that key. A difference is a fault in the adapter.
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "readers/image/IccProfile.h"
#include "readers/image/ImageTestSupport.h"
#include "readers/image/oEXIV2.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

namespace {

QStringList sampleImages()
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("images"), QStringLiteral("raw")}) {
        const QDir dir(dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

std::unique_ptr<oEXIV2> openLikeTheAnalysis(const QString& path)
{
    if (auto adapter = oEXIV2::initWithFilename(path))
        return adapter;
    return oEXIV2::initWithHeifFilePath(path);
}

// The last printed value per key (a later datum with the same key wins in the adapter).
QHash<QString, QString> lastValues(const PeerEntries& entries)
{
    QHash<QString, QString> values;
    for (const auto& [key, value] : entries)
        values.insert(key, value);
    return values;
}

// The adapter reads the library's texts as C strings.
QString upToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

TEST(oEXIV2PeerTest, ExifValuesAreThoseTheToolPrints)
{
    int compared = 0;
    for (const QString& file : sampleImages()) {
        SCOPED_TRACE(file.toStdString());
        const auto adapter = openLikeTheAnalysis(file);
        ASSERT_TRUE(adapter);
        const ImageDataRecord& record = *adapter->data();
        const auto peer = lastValues(
            parsePeerOutput(runTool(QStringLiteral("exiv2"), {QStringLiteral("-PEkt"), file}),
                            QStringLiteral("Exif")));
        // The tool hides long binary values and tags without a name unless asked to
        // show them.
        const auto full = lastValues(parsePeerOutput(
            runTool(QStringLiteral("exiv2"),
                    {QStringLiteral("-u"), QStringLiteral("-b"), QStringLiteral("-PEkt"), file}),
            QStringLiteral("Exif")));
        for (const QString& key : record.exifKeys) {
            SCOPED_TRACE(key.toStdString());
            const QString value = record.exifData.value(key).value;
            if (value.startsWith(QLatin1String("(Binary data, ")))
                continue;
            QString expected = peer.value(key);
            if (!peer.contains(key) || expected == QLatin1String("(Binary value suppressed)")) {
                ASSERT_TRUE(full.contains(key));
                expected = full.value(key);
            }
            EXPECT_EQ(value, upToNul(expected));
            ++compared;
        }
        // Nothing the tool shows is lost, but for the offsets and blocks left out on
        // purpose and entries that have no printed value.
        for (auto it = full.cbegin(); it != full.cend(); ++it) {
            if (record.exifData.contains(it.key()))
                continue;
            const QString tagName = it.key().section(QLatin1Char('.'), 2);
            const bool skipped = oEXIV2::skipExifTag(tagName, QStringLiteral("IFD0"), it.key()) ||
                                 it.key() == QLatin1String("Exif.MakerNote.Offset");
            EXPECT_TRUE(skipped || upToNul(it.value()).isEmpty()) << it.key().toStdString();
        }
    }
    EXPECT_GT(compared, 1000);
}

TEST(oEXIV2PeerTest, IptcAndXmpValuesAreThoseTheToolPrints)
{
    int iptcCompared = 0;
    int xmpCompared = 0;
    for (const QString& file : sampleImages()) {
        SCOPED_TRACE(file.toStdString());
        const auto adapter = openLikeTheAnalysis(file);
        ASSERT_TRUE(adapter);
        const ImageDataRecord& record = *adapter->data();

        // Repeated IPTC keys (keywords, categories) become one entry, values joined.
        QHash<QString, QStringList> iptcPeer;
        for (const auto& [key, value] :
             parsePeerOutput(runTool(QStringLiteral("exiv2"), {QStringLiteral("-PIkt"), file}),
                             QStringLiteral("Iptc")))
            if (!value.isEmpty())
                iptcPeer[key].append(value);
        EXPECT_EQ(record.iptcKeys.size(), iptcPeer.size());
        for (const QString& key : record.iptcKeys) {
            SCOPED_TRACE(key.toStdString());
            EXPECT_EQ(record.iptcData.value(key).value,
                      iptcPeer.value(key).join(QStringLiteral(", ")));
            ++iptcCompared;
        }

        const auto xmpPeer = lastValues(
            parsePeerOutput(runTool(QStringLiteral("exiv2"), {QStringLiteral("-PXkt"), file}),
                            QStringLiteral("Xmp")));
        EXPECT_EQ(record.xmpKeys.size(), xmpPeer.size());
        for (const QString& key : record.xmpKeys) {
            SCOPED_TRACE(key.toStdString());
            ASSERT_TRUE(xmpPeer.contains(key));
            EXPECT_EQ(record.xmpData.value(key).value, xmpPeer.value(key));
            ++xmpCompared;
        }
    }
    EXPECT_GT(iptcCompared, 15);
    EXPECT_GT(xmpCompared, 50);
}

TEST(oEXIV2PeerTest, PreviewsAndColourProfilesAreThoseTheToolFinds)
{
    const QRegularExpression previewLine(
        QStringLiteral("^Preview \\d+: ([^,]+), (\\d+)x(\\d+) pixels, (\\d+) bytes$"));
    int previews = 0;
    int profiles = 0;
    for (const QString& file : sampleImages()) {
        SCOPED_TRACE(file.toStdString());
        const auto adapter = openLikeTheAnalysis(file);
        ASSERT_TRUE(adapter);
        const ImageDataRecord& record = *adapter->data();

        // HEIF images list the file's own thumbnails, not the library's previews.
        if (record.imageType != QLatin1String("HEIF")) {
            QStringList expected;
            const QByteArray listing =
                runTool(QStringLiteral("exiv2"), {QStringLiteral("-pp"), file});
            for (const QString& line : QString::fromUtf8(listing).split(QLatin1Char('\n'))) {
                const auto match = previewLine.match(line);
                if (match.hasMatch())
                    expected.append(QStringLiteral("%1 x %2 (%3, %4 bytes)")
                                        .arg(match.captured(2), match.captured(3),
                                             match.captured(1), match.captured(4)));
            }
            EXPECT_EQ(record.previews, expected);
            EXPECT_EQ(record.thumbCount, QString::number(expected.size()));
            previews += static_cast<int>(expected.size());
        }

        const QByteArray icc = runTool(QStringLiteral("exiv2"), {QStringLiteral("-pC"), file});
        const auto space = IccProfile::colorSpaceFromData(icc);
        EXPECT_EQ(record.iccProfileColorSpace, space ? space->name : std::nullopt);
        EXPECT_EQ(record.iccProfileColorSpaceModel, space ? space->model : std::nullopt);
        profiles += space ? 1 : 0;
    }
    EXPECT_GE(previews, 10);
    EXPECT_GE(profiles, 8);
}
