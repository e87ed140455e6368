// Lines up analysed files side by side: the extended comparison (every parameter of every
// stream) and the general comparison (the general view's stream lines), with the per-row
// agreement figures. Builds rows only; showing and exporting them happen elsewhere.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "model/PerspixData.h"

namespace perspix {

// One row: values[0] is the title, then one value per file ("" where a file has none).
// A header row holds its title only.
struct ComparisonRow
{
    QStringList values;
    bool allEqual = false;
    qsizetype coincidences = 0; // files sharing the most frequent value
    QString coincidenceString;  // that value

    bool isHeader() const { return values.size() < 2; }
    bool operator==(const ComparisonRow&) const = default;
};

// "content": the rows; "descr": the compared files' full paths, in file order.
struct ComparisonResult
{
    QList<ComparisonRow> content;
    QStringList descr;
};

// Stream kind to the keys that its rows show first, in this order.
using ParametersOrder = QHash<QString, QStringList>;

class ComparisonAssistant
{
public:
    // Null entries of the list are left out. Keys are ordered by parametersOrder(), or by
    // the order given.
    static ComparisonResult
    prepareExtendedComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& files);
    static ComparisonResult
    prepareExtendedComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& files,
                                                  const ParametersOrder& order);
    static ComparisonResult
    prepareGeneralComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& files);

    // Fills allEqual, coincidences and coincidenceString from the row's values.
    static void computeRowStatistics(ComparisonRow& row);

    // The order shipped with the program (the resource ":/ParametersOrder"), read once.
    // Empty when the resource is missing or unreadable.
    static const ParametersOrder& parametersOrder();
    // A property list of kind -> list of keys; entries of another shape are ignored.
    // Nothing when the bytes are no property list or hold no dictionary.
    static std::optional<ParametersOrder> parametersOrderFromPropertyList(const QByteArray& bytes);

    // Kinds that come first in an extended comparison, in this order.
    static const QStringList& fixedKindOrder();
};

} // namespace perspix
