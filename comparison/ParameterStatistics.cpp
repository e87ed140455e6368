// Parameter statistics (see ParameterStatistics.h).
#include "comparison/ParameterStatistics.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>

namespace perspix {

namespace {

// Distinct values with their counts, in the order in which they were first found.
class CountedValues
{
public:
    void add(const QString& value)
    {
        const auto it = m_index.constFind(value);
        if (it == m_index.cend()) {
            m_index.insert(value, m_rows.size());
            m_rows.append(StatisticsRow{value, 1});
        } else {
            ++m_rows[*it].paramCount;
        }
    }

    // "Not set" first when some files had no value, then by count, highest first; equal
    // counts keep the order of first occurrence.
    QList<StatisticsRow> rows(quint64 notSet) const
    {
        QList<StatisticsRow> sorted = m_rows;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const StatisticsRow& a, const StatisticsRow& b) {
                             return a.paramCount > b.paramCount;
                         });
        if (notSet > 0)
            sorted.prepend(StatisticsRow{ParameterStatistics::notSetValue(), notSet});
        return sorted;
    }

private:
    QHash<QString, qsizetype> m_index;
    QList<StatisticsRow> m_rows;
};

} // namespace

QString ParameterStatistics::notSetValue()
{
    return QStringLiteral("Not set");
}

StatisticsContent ParameterStatistics::resetValues()
{
    return StatisticsContent{{}, QCoreApplication::translate("ParameterStatistics", "Statistics")};
}

std::optional<StatisticsContent> ParameterStatistics::prepareForNode(const ExtTreeItemPtr& item,
                                                                     const ExtTreeItemPtr& parent,
                                                                     const QStringList& filenames,
                                                                     const CachedData& cachedData)
{
    if (!item || !parent)
        return std::nullopt;
    const QString key = item->key();
    const QString kind = parent->key();
    if (key.isEmpty() || kind.isEmpty())
        return resetValues();

    CountedValues counted;
    quint64 notSet = 0;
    for (const QString& filename : filenames) {
        const PerspixDataPtr file = cachedData ? cachedData(filename) : nullptr;
        const SectionData* data = file ? file->data() : nullptr;
        const auto streams = data ? data->constFind(kind) : SectionData::const_iterator{};
        if (!data || streams == data->cend() || streams->isEmpty()) {
            ++notSet;
            continue;
        }
        bool found = false;
        for (const ParameterMap& stream : *streams) {
            const auto param = stream.constFind(key);
            if (param != stream.cend()) {
                counted.add(plainText(param->value));
                found = true;
            }
        }
        if (!found)
            ++notSet;
    }
    return StatisticsContent{counted.rows(notSet),
                             QStringLiteral("%1: %2\n").arg(kind, item->name())};
}

StatisticsContent ParameterStatistics::prepareForComparisonRow(const ComparisonRow* row)
{
    if (!row || row->values.size() < 2)
        return resetValues();
    CountedValues counted;
    quint64 notSet = 0;
    for (qsizetype i = 1; i < row->values.size(); ++i) {
        if (row->values.at(i).isEmpty())
            ++notSet;
        else
            counted.add(row->values.at(i));
    }
    return StatisticsContent{counted.rows(notSet), row->values.first()};
}

} // namespace perspix
