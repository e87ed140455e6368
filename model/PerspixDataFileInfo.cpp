// The "File" section of every analysed file: file-system facts gathered into the general
// record and listed back as entries.
#include <QFileInfo>

#include "model/Keys.h"
#include "model/PerspixData.h"

namespace perspix {

void PerspixData::getFileInfo(GeneralRecord&) const {}

QList<FileFactEntry> PerspixData::prepareFileStream(const GeneralRecord&) const
{
    return {FileFactEntry::make(keys::kFileName, QStringLiteral("Name"),
                                QFileInfo(filename).fileName())};
}

void PerspixData::addFileSection(const QList<FileFactEntry>& entries, PreparedData& prepared)
{
    ParameterMap parameters;
    QStringList exportKeys;
    ExtTreeList children;
    for (const FileFactEntry& entry : entries) {
        ParameterRecord record{entry.label(), entry.value(), entry.skipInComparison,
                               entry.isPrivateInfo};
        parameters.insert(entry.key, record);
        if (!entry.skipInExport)
            exportKeys.append(entry.key);
        if (!entry.skipInExtended) {
            auto item = ExtTreeItem::itemWithKey(entry.key, entry.label(), entry.value());
            item->setParamDictStore(entry);
            children.append(item);
        }
    }
    prepared.data.insert(keys::kSectionFile, {parameters});
    prepared.exportOptions.insert(keys::kSectionFile, {exportKeys});
    prepared.extended.append(
        ExtTreeItem::groupTreeWithKey(keys::kSectionFile, keys::kSectionFile, children, 0));
}

} // namespace perspix
