// A keyed record that keeps its members in the order they were added, for outputs whose
// key order is part of the result (JSON, property lists). QVariantMap sorts its keys.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <utility>

namespace perspix {

struct OrderedRecord
{
    QList<std::pair<QString, QVariant>> members;

    void insert(const QString& key, const QVariant& value) { members.append({key, value}); }
    qsizetype size() const { return members.size(); }
    bool operator==(const OrderedRecord&) const = default;
};

} // namespace perspix

Q_DECLARE_METATYPE(perspix::OrderedRecord)
