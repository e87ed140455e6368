// The comparison's table model (see ComparisonTableModel.h).
#include "app/comparison/ComparisonTableModel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include "model/Utilities.h"

namespace perspix {

ComparisonTableModel::ComparisonTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ComparisonTableModel::setContent(const QList<ComparisonRow>& content,
                                      const QStringList& description)
{
    beginResetModel();
    m_content = content;
    m_description = description;
    m_shortDates.clear();
    for (int row = 0; row < m_content.size(); ++row) {
        const QStringList& values = m_content[row].values;
        for (int column = 1; column < values.size(); ++column) {
            const QString date = shortDate(values[column]);
            if (!date.isEmpty())
                m_shortDates.insert(quint64(row) << 32 | quint64(column), date);
        }
    }
    endResetModel();
}

QString ComparisonTableModel::shortDate(const QString& text)
{
    // Long dates name the weekday and month and hold a time: nothing shorter is one.
    if (text.size() < 16 || text.size() > 80 || !text.contains(QLatin1Char(':')))
        return {};
    const QLocale locale;
    const QString timeFormat = Utilities::mediumTimeFormat(locale);
    const QDateTime date = locale.toDateTime(text, locale.dateFormat(QLocale::LongFormat) +
                                                       QLatin1Char(' ') + timeFormat);
    if (!date.isValid())
        return {};
    return locale.toString(date.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(date.time(), timeFormat);
}

const ComparisonRow* ComparisonTableModel::comparisonRow(int row) const
{
    if (row < 0 || row >= m_content.size())
        return nullptr;
    return &m_content[row];
}

bool ComparisonTableModel::isGroupRow(int row) const
{
    const ComparisonRow* r = comparisonRow(row);
    return r && r->values.size() < 2;
}

int ComparisonTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_content.size());
}

int ComparisonTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_description.size()) + 1;
}

QVariant ComparisonTableModel::data(const QModelIndex& index, int role) const
{
    const ComparisonRow* row = comparisonRow(index.row());
    if (!row || index.column() < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (const auto date =
                m_shortDates.constFind(quint64(index.row()) << 32 | quint64(index.column()));
            date != m_shortDates.constEnd())
            return *date;
        [[fallthrough]];
    case Qt::ToolTipRole:
        // Header rows fill only the title column.
        if (index.column() < row->values.size())
            return row->values[index.column()];
        return {};
    case GroupRole:
        return row->values.size() < 2;
    default:
        return {};
    }
}

QVariant ComparisonTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 1 || section > m_description.size())
        return {};
    const QString& path = m_description[section - 1];
    if (role == Qt::DisplayRole)
        return QFileInfo(path).fileName();
    if (role == Qt::ToolTipRole)
        return path;
    return {};
}

Qt::ItemFlags ComparisonTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isGroupRow(index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace perspix
