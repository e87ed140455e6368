// Charts of the statistics of one parameter: a bar chart of the counts per value (the
// largest ones, then "other"), and for numeric values a histogram of round bins. Made as a
// chart picture, for the statistics window and for perspix-cli --chart alike.
#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "charts/ChartPicture.h"
#include "comparison/ParameterStatistics.h"

namespace perspix {

class StatisticsChart
{
public:
    static constexpr int kBars = 20;

    struct Bar
    {
        QString label;
        quint64 count = 0;
        bool operator==(const Bar&) const = default;
    };
    // The kBars largest counts (ties in table order), then "other" for the rest, if any.
    static std::vector<Bar> bars(const QList<StatisticsRow>& rows);
    static QString otherLabel();

    struct Bin
    {
        double low = 0; // [low, high)
        double high = 0;
        quint64 count = 0;
    };
    struct Histogram
    {
        QString unit;
        std::vector<Bin> bins;
        quint64 counted = 0;
        quint64 leftOut = 0; // values that are not numbers of the unit ("Not set" and others)
    };
    // The number a value shows and its unit ("1 920 pixels": 1920, "pixels"; "24.5 Mb/s":
    // 24500000, "b/s"; "37.5 KB (37453 bytes)": 37453, "bytes"); nothing for a value that
    // is not a number with a unit.
    static std::optional<double> numericValue(const QString& value, QString* unit = nullptr);
    // A histogram when nearly all values set are numbers of one unit.
    static std::optional<Histogram> histogram(const QList<StatisticsRow>& rows);

    enum class Kind { Automatic, Bars, Histogram };
    // Automatic: the histogram for numeric values, the bars otherwise. The width is kept;
    // the height follows the content.
    static ChartPicture picture(const QList<StatisticsRow>& rows, const QString& title,
                                double width = 640, Kind kind = Kind::Automatic);

private:
    static std::optional<double> plainNumericValue(const QString& value, QString* unit);
};

} // namespace perspix
