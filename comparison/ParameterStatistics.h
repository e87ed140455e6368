// Counts the values one parameter takes: a parameter of the extended tree over a file list,
// or a comparison row over its files. Produces the table rows and title; the window that
// shows them is not here.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "comparison/ComparisonAssistant.h"
#include "model/ExtTreeItem.h"
#include "model/PerspixData.h"

namespace perspix {

// "paramValue" and "paramCount".
struct StatisticsRow
{
    QString paramValue;
    quint64 paramCount = 0;
    bool operator==(const StatisticsRow&) const = default;
};

// The table's rows and the window's title.
struct StatisticsContent
{
    QList<StatisticsRow> rows;
    QString label;
    bool operator==(const StatisticsContent&) const = default;
};

class ParameterStatistics
{
public:
    // The analysed data of a listed file, or null when it has none (yet).
    using CachedData = std::function<PerspixDataPtr(const QString& filename)>;

    // Counts the parameter `item` of the group `parent` (its key names the stream kind) over
    // the files, in list order. Nothing when either item is missing: the table keeps what
    // it shows.
    static std::optional<StatisticsContent> prepareForNode(const ExtTreeItemPtr& item,
                                                           const ExtTreeItemPtr& parent,
                                                           const QStringList& filenames,
                                                           const CachedData& cachedData);
    // Counts the file values of a comparison row; empty values count as "Not set".
    static StatisticsContent prepareForComparisonRow(const ComparisonRow* row);

    // An empty table titled "Statistics".
    static StatisticsContent resetValues();
    static QString notSetValue();
};

} // namespace perspix
