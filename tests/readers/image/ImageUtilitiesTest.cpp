// The thumbnail makers: scaling in both directions of the frame, formats from plug-ins,
// and bytes no reader can decode.
#include <QFile>
#include <gtest/gtest.h>

#include "readers/image/ImageTestSupport.h"
#include "readers/image/ImageUtilities.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::test;

TEST(ImageUtilitiesTest, ThumbnailsFitTheEdgeAndStayUpright)
{
    struct Case
    {
        const char* file;
        int edge;
        QSize size; // empty: no picture
    };
    const Case cases[] = {
        {"images/22-canon_tags.jpg", 256, {256, 192}},
        {"images/22-canon_tags.jpg", 100, {100, 75}},
        {"images/Canon_40D.jpg", 256, {100, 68}},   // never enlarged
        {"images/portrait_6.jpg", 100, {75, 100}},  // orientation 6 applied
        {"images/landscape_5.jpg", 100, {100, 75}}, // stored 450 x 600, transposed
        {"images/et-ExifTool.tif", 80, {80, 60}},
        {"images/Tless0.tiff", 256, {256, 178}},
        {"images/et-PNG.png", 256, {16, 16}},
        {"images/gps-from-jpeg.heic", 64, {64, 48}},
        {"audio/song.mp3", 256, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dataPath(QString::fromLatin1(c.file));
        const auto fromFile = ImageUtilities::thumbnailedImageFromURL(path, c.edge);
        EXPECT_EQ(fromFile ? fromFile->size() : QSize(), c.size);
        if (QString::fromLatin1(c.file).endsWith(QLatin1String(".heic")))
            continue; // Qt reads no HEIF bytes; files go through libheif
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto fromData = ImageUtilities::thumbnailedImageFromData(file.readAll(), c.edge);
        EXPECT_EQ(fromData ? fromData->size() : QSize(), c.size);
    }
    EXPECT_FALSE(ImageUtilities::thumbnailedImageFromData({}, 256));
    EXPECT_FALSE(
        ImageUtilities::thumbnailedImageFromData(QByteArray("\xff\xd8\xff\xe0garbage"), 256));
    EXPECT_FALSE(
        ImageUtilities::thumbnailedImageFromURL(dataPath(QStringLiteral("missing.jpg")), 256));
}
