// Table model over the rows of a comparison: column 0 the row titles, columns 1 to n the
// compared files' values. Header rows fill only the title column and cannot be selected.
// How cells are coloured is the table's business, not the model's.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include "comparison/ComparisonAssistant.h"

namespace perspix {

class ComparisonTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role {
        // True for header rows (a stream's title), drawn as group rows.
        GroupRole = Qt::UserRole + 1,
    };

    explicit ComparisonTableModel(QObject* parent = nullptr);

    void setContent(const QList<ComparisonRow>& content, const QStringList& description);
    const QList<ComparisonRow>& content() const { return m_content; }
    const QStringList& description() const { return m_description; }
    int fileCount() const { return int(m_description.size()); }

    // The comparison row shown in a table row, or null outside the table.
    const ComparisonRow* comparisonRow(int row) const;
    // A header row: fewer than two values.
    bool isGroupRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A file date in the long form the analysis writes, in the locale's short form (the
    // cell shows it; its tooltip keeps the long one); empty for any other text.
    static QString shortDate(const QString& text);

private:
    QList<ComparisonRow> m_content;
    QStringList m_description;
    QHash<quint64, QString> m_shortDates; // by row << 32 | column
};

} // namespace perspix
