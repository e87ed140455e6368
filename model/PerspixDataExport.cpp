// The views of a finished analysis that other parts build on: the text rendering of the
// extended tree, the general summary, the export record and the content search.
#include <QSet>

#include "model/Keys.h"
#include "model/NativePath.h"
#include "model/PerspixData.h"

namespace perspix {

QStringList ExportRecord::orderedSectionNames() const
{
    QStringList names;
    names.reserve(sections.size());
    for (const QString& name : sectionOrder)
        if (sections.contains(name) && !names.contains(name))
            names.append(name);
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
        if (!names.contains(it.key()))
            names.append(it.key());
    return names;
}

void PerspixData::convertFromDataArray(const ExtTreeList& items, QStringList& lines,
                                       bool skipFilePrivate)
{
    for (const ExtTreeItemPtr& item : items) {
        if (const auto children = item->children()) {
            if (!lines.isEmpty())
                lines.append(QString());
            lines.append(item->extValue());
            convertFromDataArray(*children, lines, skipFilePrivate);
            continue;
        }
        if (skipFilePrivate && item->isPrivateInfo())
            continue;
        lines.append(item->extValue());
    }
}

std::optional<QString> PerspixData::stringForExportText() const
{
    if (!m_dict)
        return std::nullopt;
    QStringList lines;
    convertFromDataArray(m_dict->extended, lines, false);
    return lines.join(QLatin1Char('\n'));
}

std::optional<QString> PerspixData::stringForExportTextWithoutFilePrivate() const
{
    if (!m_dict)
        return std::nullopt;
    QStringList lines;
    convertFromDataArray(m_dict->extended, lines, true);
    return lines.join(QLatin1Char('\n'));
}

std::optional<QString> PerspixData::stringForExportGeneral() const
{
    if (!m_dict)
        return std::nullopt;
    const GeneralRecord& general = m_dict->general;
    QStringList facts;
    for (const QString& key :
         {keys::kFormat, keys::kFilesize, keys::kDuration, keys::kBitrate, keys::kImageSize}) {
        const QString value = general.string(key);
        if (!value.isEmpty())
            facts.append(value);
    }
    QStringList lines{QStringLiteral("Container: %1").arg(facts.join(QStringLiteral(", ")))};
    for (const ExtTreeItemPtr& stream : general.streams)
        if (stream)
            lines.append(stream->extValue());
    return lines.join(QLatin1Char('\n'));
}

std::optional<ExportRecord> PerspixData::computeExportInfoWithoutFilePrivate(bool skipPrivate) const
{
    if (!m_dict)
        return std::nullopt;
    ExportRecord record;
    for (auto section = m_dict->exportOptions.cbegin(); section != m_dict->exportOptions.cend();
         ++section) {
        const QList<ParameterMap> streamsData = m_dict->data.value(section.key());
        QList<QList<ExportEntry>> streams;
        streams.reserve(section->size());
        for (qsizetype i = 0; i < section->size(); ++i) {
            // A stream without parameter records exports its keys as nothing.
            const ParameterMap parameters = streamsData.value(i);
            QList<ExportEntry> entries;
            entries.reserve(section->at(i).size());
            for (const QString& key : section->at(i)) {
                const auto parameter = parameters.constFind(key);
                if (parameter == parameters.constEnd())
                    continue;
                if (skipPrivate && parameter->isPrivateInfo)
                    continue;
                entries.append({key, parameter->name, parameter->value});
            }
            streams.append(entries);
        }
        record.sections.insert(section.key(), streams);
    }
    record.fileName = NativePath::shown(filename);

    if (record.sections.contains(keys::kSectionFile))
        record.sectionOrder.append(keys::kSectionFile);
    for (const ExtTreeItemPtr& group : m_dict->extended) {
        const QString key = group->key();
        if (record.sections.contains(key) && !record.sectionOrder.contains(key))
            record.sectionOrder.append(key);
    }
    for (auto it = record.sections.cbegin(); it != record.sections.cend(); ++it)
        if (!record.sectionOrder.contains(it.key()))
            record.sectionOrder.append(it.key());
    return record;
}

ExtTreeList PerspixData::extTree(const ExtTreeList& items, const QString& text)
{
    ExtTreeList kept;
    for (const ExtTreeItemPtr& item : items) {
        if (const auto children = item->children()) {
            ExtTreeList keptChildren = extTree(*children, text);
            if (keptChildren.isEmpty())
                continue;
            ExtTreeItemPtr copy = item->newInstanceWithSameProperties();
            copy->setChildren(keptChildren);
            kept.append(copy);
            continue;
        }
        const QString name = item->name();
        const QVariant value = item->value();
        if (name.isNull() || !value.isValid())
            continue;
        if (name.contains(text, Qt::CaseInsensitive) ||
            plainText(value).contains(text, Qt::CaseInsensitive))
            kept.append(item->newInstanceWithSameProperties());
    }
    return kept;
}

ExtTreeList PerspixData::extendedContentHaving(const QString& text) const
{
    if (!m_dict)
        return {};
    if (text.isEmpty())
        return m_dict->extended;
    return extTree(m_dict->extended, text);
}

bool PerspixData::isContentArray(const ExtTreeList& items, const QString& text)
{
    for (const ExtTreeItemPtr& item : items) {
        if (const auto children = item->children()) {
            if (isContentArray(*children, text))
                return true;
            continue;
        }
        const QVariant value = item->value();
        if (value.isValid() && plainText(value).contains(text, Qt::CaseInsensitive))
            return true;
        if (item->name().contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool PerspixData::isContentHas(const QString& text) const
{
    if (!m_dict || text.isEmpty())
        return false;
    return isContentArray(m_dict->extended, text);
}

} // namespace perspix
