// The statistics charts: which values become bars, which parameters histograms, and that
// the SVG is well-formed XML with one bar per shown value.
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include "charts/ChartSvg.h"
#include "charts/StatisticsChart.h"

using namespace perspix;

namespace {

QList<StatisticsRow> rowsOf(std::initializer_list<std::pair<const char*, quint64>> values)
{
    QList<StatisticsRow> rows;
    for (const auto& [value, count] : values)
        rows.append({QString::fromUtf8(value), count});
    return rows;
}

// Counts the elements of one name, failing on XML that does not parse.
int elementCount(const QByteArray& svg, const QString& name)
{
    QXmlStreamReader reader(svg);
    int count = 0;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            ++count;
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return count;
}

} // namespace

TEST(StatisticsChart, NumericValuesAndUnits)
{
    struct Case
    {
        const char* value;
        bool numeric;
        double number;
        const char* unit;
    };
    const Case cases[] = {
        {"1 920 pixels", true, 1920, "pixels"},
        {"1\u202f080 pixels", true, 1080, "pixels"},
        {"24.5 Mb/s", true, 24.5e6, "b/s"},
        {"128 kb/s", true, 128e3, "b/s"},
        {"48.0 kHz", true, 48000, "Hz"},
        {"5.8 mm", true, 5.8, "mm"},
        {"100", true, 100, ""},
        {"-3", true, -3, ""},
        {"2,5 s", true, 2.5, "s"},
        {"37.5 KB (37453 bytes)", true, 37453, "bytes"},
        {"7.20 KB (7 199 bytes)", true, 7199, "bytes"},
        {"25.000 FPS (25/1)", true, 25, "FPS"},
        {"Hello (world)", false, 0, ""},
        {"AVC", false, 0, ""},
        {"1 h 2 min", false, 0, ""},
        {"4:3", false, 0, ""},
        {"Not set", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        QString unit;
        const auto value = StatisticsChart::numericValue(QString::fromUtf8(c.value), &unit);
        ASSERT_EQ(value.has_value(), c.numeric);
        if (c.numeric) {
            EXPECT_NEAR(*value, c.number, 1e-6 * std::max(1.0, std::fabs(c.number)));
            EXPECT_EQ(unit, QString::fromUtf8(c.unit));
        }
    }
}

// 25 values: the 20 largest by count, ties in table order, then "other" with the rest.
TEST(StatisticsChart, TwentyLargestThenOther)
{
    QList<StatisticsRow> rows;
    for (int i = 0; i < 25; ++i)
        rows.append({QStringLiteral("v%1").arg(i), quint64(i % 5 == 0 ? 100 : i)});
    const auto bars = StatisticsChart::bars(rows);
    ASSERT_EQ(bars.size(), 21u);
    EXPECT_EQ(bars[0], (StatisticsChart::Bar{"v0", 100}));
    EXPECT_EQ(bars[1].label, "v5");
    EXPECT_EQ(bars.back().label, StatisticsChart::otherLabel());
    quint64 total = 0, shown = 0;
    for (const StatisticsRow& r : rows)
        total += r.paramCount;
    for (const auto& b : bars)
        shown += b.count;
    EXPECT_EQ(shown, total);
    // Exactly twenty values need no "other".
    EXPECT_EQ(StatisticsChart::bars(rows.mid(0, 20)).size(), 20u);
}

TEST(StatisticsChart, HistogramBins)
{
    // Widths in pixels: round bins, every file in one bin, Not set left out.
    const auto widths = StatisticsChart::histogram(rowsOf({{"Not set", 3},
                                                           {"640 pixels", 5},
                                                           {"1 280 pixels", 7},
                                                           {"1 920 pixels", 9},
                                                           {"3 840 pixels", 1}}));
    ASSERT_TRUE(widths.has_value());
    EXPECT_EQ(widths->unit, "pixels");
    EXPECT_EQ(widths->counted, 22u);
    EXPECT_EQ(widths->leftOut, 3u);
    quint64 inBins = 0;
    double previousHigh = widths->bins.front().low;
    for (const auto& bin : widths->bins) {
        EXPECT_DOUBLE_EQ(bin.low, previousHigh);
        previousHigh = bin.high;
        inBins += bin.count;
    }
    EXPECT_EQ(inBins, 22u);
    EXPECT_LE(widths->bins.front().low, 640);
    EXPECT_GT(widths->bins.back().high, 3840);
    EXPECT_GE(widths->bins.size(), 4u);
    EXPECT_LE(widths->bins.size(), 21u);

    // Mixed prefixes are one unit; words are no histogram; one value makes one bin.
    const auto rates = StatisticsChart::histogram(rowsOf({{"800 kb/s", 2}, {"1.2 Mb/s", 2}}));
    ASSERT_TRUE(rates.has_value());
    EXPECT_EQ(rates->unit, "b/s");
    EXPECT_FALSE(StatisticsChart::histogram(rowsOf({{"AVC", 4}, {"HEVC", 2}, {"100", 1}})));
    const auto single = StatisticsChart::histogram(rowsOf({{"100", 4}}));
    ASSERT_TRUE(single.has_value());
    ASSERT_EQ(single->bins.size(), 1u);
    EXPECT_EQ(single->bins[0].count, 4u);
    // Integer values never get bins narrower than 1.
    const auto iso = StatisticsChart::histogram(rowsOf({{"100", 4}, {"101", 3}, {"102", 1}}));
    ASSERT_TRUE(iso.has_value());
    for (const auto& bin : iso->bins)
        EXPECT_GE(bin.high - bin.low, 1.0);
}

TEST(StatisticsChart, SvgDrawsOneBarPerValue)
{
    QList<StatisticsRow> rows =
        rowsOf({{"AVC", 5}, {"HEVC <10 bit> & \"more\"", 2}, {"Not set", 1}});
    const QByteArray bars = ChartSvg::document(StatisticsChart::picture(rows, "Video: Format\n"));
    // The background and one rectangle per value.
    EXPECT_EQ(elementCount(bars, "rect"), 1 + 3);
    EXPECT_TRUE(bars.contains("HEVC &lt;10 bit&gt; &amp; &quot;more&quot;"));

    const QByteArray histogram = ChartSvg::document(
        StatisticsChart::picture(rowsOf({{"640 pixels", 5}, {"1 920 pixels", 9}}), "Video: Width"));
    EXPECT_GE(elementCount(histogram, "rect"), 1 + 2);
    EXPECT_TRUE(histogram.contains("pixels (14 files)"));
    const QByteArray forced = ChartSvg::document(
        StatisticsChart::picture(rowsOf({{"640 pixels", 5}, {"1 920 pixels", 9}}), "Video: Width",
                                 640, StatisticsChart::Kind::Bars));
    EXPECT_EQ(elementCount(forced, "rect"), 1 + 2);
}
