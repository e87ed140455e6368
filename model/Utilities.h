// Stateless helpers shared across the program: size texts, unique names, temporary
// folders, CSV quoting, digests of text, regular-expression captures, MIME extensions and
// the file facts kept in extended attributes.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace perspix {

class Utilities
{
public:
    // Captures of the first case-insensitive match: whole match first, "" for a group that
    // did not take part. Nothing for an invalid pattern; an empty list for no match.
    static std::optional<QStringList> captureFirstComponentsMatchedByRegex(const QString& pattern,
                                                                           const QString& text);
};

} // namespace perspix
