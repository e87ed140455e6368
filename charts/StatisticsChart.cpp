// Statistics charts (see StatisticsChart.h).
#include "charts/StatisticsChart.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace perspix {

namespace {

const QColor kBar(70, 120, 200);
const QColor kOther(160, 160, 160);
const QColor kAxis(90, 90, 90);
const QColor kGrid(225, 225, 225);
constexpr double kRowHeight = 22;

QString elided(const QString& text, int characters)
{
    QString flat = text;
    flat.replace('\n', ' ');
    return flat.size() <= characters ? flat : flat.left(characters - 1) + QChar(0x2026);
}

// Scale of a unit prefix before a known base unit.
double prefixScale(QString& unit)
{
    static const std::pair<const char*, double> prefixes[] = {
        {"Ki", 1024.0}, {"Mi", 1048576.0}, {"Gi", 1073741824.0}, {"k", 1e3},
        {"K", 1e3},     {"M", 1e6},        {"G", 1e9},           {"T", 1e12}};
    static const QStringList bases = {"b/s",   "B",   "Hz",  "bit",    "bits", "byte",
                                      "bytes", "bps", "B/s", "pixels", "FPS",  "fps"};
    for (const auto& [prefix, scale] : prefixes) {
        const QString p = QString::fromLatin1(prefix);
        if (unit.startsWith(p) && bases.contains(unit.mid(p.size()))) {
            unit = unit.mid(p.size());
            return scale;
        }
    }
    return 1;
}

} // namespace

QString StatisticsChart::otherLabel()
{
    return QStringLiteral("other");
}

std::vector<StatisticsChart::Bar> StatisticsChart::bars(const QList<StatisticsRow>& rows)
{
    std::vector<qsizetype> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return rows[a].paramCount > rows[b].paramCount;
    });
    std::vector<Bar> result;
    quint64 other = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const StatisticsRow& row = rows[order[i]];
        if (i < size_t(kBars))
            result.push_back({row.paramValue, row.paramCount});
        else
            other += row.paramCount;
    }
    if (other > 0)
        result.push_back({otherLabel(), other});
    return result;
}

std::optional<double> StatisticsChart::numericValue(const QString& value, QString* unitOut)
{
    // "37.5 KB (37453 bytes)": the exact figure in parentheses, else the rounded one before.
    static const QRegularExpression aside(QStringLiteral("^(.*\\S)\\s*\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch parts = aside.match(value);
    if (parts.hasMatch()) {
        if (const std::optional<double> exact = plainNumericValue(parts.captured(2), unitOut))
            return exact;
        return plainNumericValue(parts.captured(1), unitOut);
    }
    return plainNumericValue(value, unitOut);
}

std::optional<double> StatisticsChart::plainNumericValue(const QString& value, QString* unitOut)
{
    // Digits grouped by spaces (MediaInfo writes "1 920"), an optional fraction, a unit.
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*([-+]?\\d{1,3}(?:[ \\x{2009}\\x{202F}\\x{00A0}]\\d{3})+|[-+]?\\d+)([.,]\\d+)?"
        "(?:[eE]([-+]?\\d+))?\\s*([^\\d\\s][^\\d]*)?$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        return std::nullopt;
    QString digits = m.captured(1);
    digits.remove(QRegularExpression(QStringLiteral("[ \\x{2009}\\x{202F}\\x{00A0}]")));
    QString fraction = m.captured(2);
    if (!fraction.isEmpty())
        fraction[0] = '.';
    const QString exponent = m.captured(3).isEmpty() ? QString() : "e" + m.captured(3);
    bool ok = false;
    double number = QString(digits + fraction + exponent).toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    QString unit = m.captured(4).trimmed();
    number *= prefixScale(unit);
    if (unitOut)
        *unitOut = unit;
    return number;
}

std::optional<StatisticsChart::Histogram>
StatisticsChart::histogram(const QList<StatisticsRow>& rows)
{
    QHash<QString, quint64> perUnit;
    quint64 set = 0;
    const QString notSet = ParameterStatistics::notSetValue();
    for (const StatisticsRow& row : rows) {
        if (row.paramValue == notSet || row.paramValue.isEmpty())
            continue;
        set += row.paramCount;
        QString unit;
        if (numericValue(row.paramValue, &unit))
            perUnit[unit] += row.paramCount;
    }
    if (perUnit.isEmpty() || set == 0)
        return std::nullopt;
    QString unit;
    quint64 best = 0;
    for (auto it = perUnit.cbegin(); it != perUnit.cend(); ++it)
        if (it.value() > best || (it.value() == best && it.key() < unit)) {
            best = it.value();
            unit = it.key();
        }
    // A few odd values may stand aside; a parameter mostly of words is no histogram.
    if (best * 10 < set * 9)
        return std::nullopt;

    std::vector<std::pair<double, quint64>> values;
    Histogram h;
    h.unit = unit;
    for (const StatisticsRow& row : rows) {
        QString u;
        const std::optional<double> v = numericValue(row.paramValue, &u);
        if (v && u == unit && row.paramValue != notSet) {
            values.emplace_back(*v, row.paramCount);
            h.counted += row.paramCount;
        } else {
            h.leftOut += row.paramCount;
        }
    }
    double low = values.front().first, high = low;
    bool integers = true;
    for (const auto& [v, count] : values) {
        low = std::min(low, v);
        high = std::max(high, v);
        integers = integers && v == std::floor(v);
    }
    if (!(high > low)) {
        h.bins.push_back({low, low, h.counted});
        return h;
    }
    // Sturges' count of bins, at round widths.
    const int wanted = std::clamp(int(std::ceil(std::log2(double(h.counted)) + 1)), 5, 20);
    double step = 1;
    niceTicks(low, high, wanted, &step);
    if (integers)
        step = std::max(step, 1.0);
    const double first = std::floor(low / step) * step;
    const int count = std::max(1, int(std::floor((high - first) / step)) + 1);
    for (int i = 0; i < count; ++i)
        h.bins.push_back({first + i * step, first + (i + 1) * step, 0});
    for (const auto& [v, n] : values) {
        const int i = std::clamp(int(std::floor((v - first) / step)), 0, count - 1);
        h.bins[size_t(i)].count += n;
    }
    return h;
}

ChartPicture StatisticsChart::picture(const QList<StatisticsRow>& rows, const QString& title,
                                      double width, Kind kind)
{
    ChartPicture picture;
    width = std::max(width, 320.0);
    const QString heading = elided(title.trimmed(), 80);
    const std::optional<Histogram> h = kind == Kind::Bars ? std::nullopt : histogram(rows);
    if (h && kind != Kind::Bars) {
        const double height = 360;
        picture.size = QSizeF(width, height);
        picture.text({16, 22}, heading, 13, ChartPicture::Anchor::Start, Qt::black, true);
        const QRectF area(64, 40, width - 64 - 20, height - 40 - 56);
        quint64 most = 1;
        for (const Bin& b : h->bins)
            most = std::max(most, b.count);
        double countStep = 1;
        std::vector<double> ticks = niceTicks(0, double(most), 5, &countStep);
        countStep = std::max(countStep, 1.0);
        const double top = std::max(double(most), ticks.empty() ? 1.0 : ticks.back());
        auto y = [&](double c) { return area.bottom() - c / top * area.height(); };
        for (const double t : ticks) {
            if (t != std::floor(t))
                continue;
            picture.line({area.left(), y(t)}, {area.right(), y(t)}, kGrid);
            picture.text({area.left() - 6, y(t) + 4}, shortNumber(t), 10, ChartPicture::Anchor::End,
                         kAxis);
        }
        const double barWidth = area.width() / double(h->bins.size());
        const int labelEvery = std::max(1, int(std::ceil(60 / barWidth)));
        for (size_t i = 0; i < h->bins.size(); ++i) {
            const Bin& b = h->bins[i];
            const double x = area.left() + double(i) * barWidth;
            if (b.count > 0)
                picture.rect(QRectF(QPointF(x + 1, y(double(b.count))),
                                    QPointF(x + barWidth - 1, area.bottom())),
                             kBar);
            if (i % size_t(labelEvery) == 0)
                picture.text({x, area.bottom() + 16}, shortNumber(b.low), 10,
                             ChartPicture::Anchor::Middle, kAxis);
        }
        if (h->bins.size() > 1 && h->bins.size() % size_t(labelEvery) == 0)
            picture.text({area.right(), area.bottom() + 16}, shortNumber(h->bins.back().high), 10,
                         ChartPicture::Anchor::Middle, kAxis);
        else if (h->bins.size() == 1)
            picture.text({area.center().x(), area.bottom() + 16}, shortNumber(h->bins[0].low), 10,
                         ChartPicture::Anchor::Middle, kAxis);
        picture.line(area.bottomLeft(), area.bottomRight(), kAxis);
        picture.line(area.topLeft(), area.bottomLeft(), kAxis);
        QString caption = h->unit.isEmpty() ? QStringLiteral("value") : h->unit;
        caption += QStringLiteral(" (%1 files").arg(h->counted);
        if (h->leftOut > 0)
            caption += QStringLiteral(", %1 without a value of this unit").arg(h->leftOut);
        caption += ')';
        picture.text({area.center().x(), area.bottom() + 38}, caption, 11,
                     ChartPicture::Anchor::Middle, Qt::black);
        picture.text({16, area.center().y()}, QStringLiteral("files"), 10,
                     ChartPicture::Anchor::Middle, kAxis, false, true);
        return picture;
    }

    const std::vector<Bar> shown = bars(rows);
    const double height = 48 + std::max<size_t>(shown.size(), 1) * kRowHeight + 16;
    picture.size = QSizeF(width, height);
    picture.text({16, 22}, heading, 13, ChartPicture::Anchor::Start, Qt::black, true);
    const int labelCharacters = std::clamp(int(width * 0.33 / 6.5), 8, 40);
    const double labelRight = 16 + labelCharacters * 6.5;
    const double barLeft = labelRight + 8;
    const double barRight = width - 64;
    quint64 most = 1;
    for (const Bar& b : shown)
        most = std::max(most, b.count);
    for (size_t i = 0; i < shown.size(); ++i) {
        const Bar& b = shown[i];
        const double top = 40 + double(i) * kRowHeight;
        const double length = (barRight - barLeft) * double(b.count) / double(most);
        const bool other =
            i + 1 == shown.size() && b.label == otherLabel() && shown.size() > size_t(kBars);
        picture.text({labelRight, top + 15}, elided(b.label, labelCharacters), 11,
                     ChartPicture::Anchor::End, other ? kAxis : Qt::black);
        picture.rect(QRectF(barLeft, top + 3, std::max(length, 1.0), kRowHeight - 6),
                     other ? kOther : kBar);
        picture.text({barLeft + length + 6, top + 15}, QString::number(b.count), 11,
                     ChartPicture::Anchor::Start, kAxis);
    }
    picture.line({barLeft, 38}, {barLeft, 40 + double(shown.size()) * kRowHeight + 2}, kAxis);
    return picture;
}

} // namespace perspix
