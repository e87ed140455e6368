// Shared helpers (see Utilities.h).
#include "model/Utilities.h"

#include <QRegularExpression>

namespace perspix {

std::optional<QStringList> Utilities::captureFirstComponentsMatchedByRegex(const QString& pattern,
                                                                           const QString& text)
{
    if (text.isNull())
        return std::nullopt;
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
    if (!re.isValid())
        return std::nullopt;
    QStringList captures;
    const QRegularExpressionMatch match = re.match(text);
    if (!match.hasMatch())
        return captures;
    for (int i = 0; i <= re.captureCount(); ++i)
        captures.append(match.captured(i)); // a group that did not take part is ""
    return captures;
}

} // namespace perspix
