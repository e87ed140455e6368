// Relative paths built from shown paths (a list's "pathPrefix"), for the operations that
// write one file or folder per listed file below a chosen folder. A shown path may come
// from a project file; what is built from it must stay below the chosen folder.
#pragma once

#include <QString>

namespace perspix {

// The shown path without empty, "." and ".." components, so that, joined to a folder, it
// stays inside it; its folder separators remain and make subfolders. When nothing is left,
// the last component of `filename`, and "file" when that is no name either.
QString containedRelativePath(const QString& shownPath, const QString& filename);

} // namespace perspix
