// One listed file with a finished analysis, as handed to the exporters and the other
// whole-list operations: its full path, its path as the list shows it, and its result.
#pragma once

#include <QList>
#include <QString>

#include "model/PerspixData.h"

namespace perspix {

struct FileRecord
{
    QString filename;   // full path
    QString pathPrefix; // the path as shown in the list
    PerspixDataPtr data;
};

using FileRecordList = QList<FileRecord>;

} // namespace perspix
