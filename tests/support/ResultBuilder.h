// Builds the result record of an analysed file from a short description, the way the
// reader branches do: per stream a parameter map, an export-key list and a tree group.
// For tests of the parts that only read finished results (export, search, comparison).
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include "model/PerspixData.h"

namespace perspix::test {

struct Param
{
    QString key;
    QString label;
    QVariant value;
    bool isPrivate = false;
    bool skipInExport = false;
    bool skipInExtended = false;
};

class ResultBuilder
{
public:
    // Adds one stream of a section, shown as a tree group with the given name.
    ResultBuilder& stream(const QString& section, const QString& groupName,
                          const QList<Param>& params)
    {
        ParameterMap parameters;
        QStringList exportKeys;
        ExtTreeList children;
        for (const Param& p : params) {
            parameters.insert(p.key, ParameterRecord{p.label, p.value, false, p.isPrivate});
            if (!p.skipInExport)
                exportKeys.append(p.key);
            if (!p.skipInExtended) {
                auto item = ExtTreeItem::itemWithKey(p.key, p.label, p.value);
                FileFactEntry entry = FileFactEntry::make(p.key, p.label, p.value);
                entry.isPrivateInfo = p.isPrivate;
                entry.skipInExport = p.skipInExport;
                item->setParamDictStore(entry);
                children.append(item);
            }
        }
        const quint64 index = m_result.data.value(section).size();
        m_result.data[section].append(parameters);
        m_result.exportOptions[section].append(exportKeys);
        m_result.extended.append(
            ExtTreeItem::groupTreeWithKey(section, groupName, children, index));
        return *this;
    }
    ResultBuilder& general(const QString& key, const QVariant& value)
    {
        m_result.general.insert(key, value);
        return *this;
    }
    ResultBuilder& summaryLine(const QString& section, const QString& name, const QVariant& value)
    {
        const quint64 index = m_result.general.streams.size();
        m_result.general.streams.append(
            ExtTreeItem::mediaStreamItemWithKey(section, name, value, index));
        return *this;
    }
    ResultRecord build() const { return m_result; }
    PerspixDataPtr data(const QString& path) const
    {
        return std::make_shared<PerspixData>(path, m_result);
    }

private:
    ResultRecord m_result;
};

} // namespace perspix::test
