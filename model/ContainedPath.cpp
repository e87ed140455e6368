// Relative paths that stay below a chosen folder.
#include "model/ContainedPath.h"

#include <QStringList>

namespace perspix {

namespace {
bool isName(const QString& component)
{
    return !component.isEmpty() && component != QLatin1String(".") &&
           component != QLatin1String("..");
}
} // namespace

QString containedRelativePath(const QString& shownPath, const QString& filename)
{
    QStringList kept;
    for (const QString& component : shownPath.split(QLatin1Char('/'))) {
        if (isName(component))
            kept.append(component);
    }
    if (!kept.isEmpty())
        return kept.join(QLatin1Char('/'));
    const QString last = filename.section(QLatin1Char('/'), -1);
    return isName(last) ? last : QStringLiteral("file");
}

} // namespace perspix
