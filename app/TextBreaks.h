// Break opportunities for long names without blanks ("com.apple.quicktime.location.ISO6709",
// paths, coordinates): zero-width spaces at the separators let wrapped text break there
// instead of running out of its column. Only for drawn text; copies keep the values as they are.
#pragma once

#include <QString>

namespace perspix {

// A rate's unit ("kb/s", "Mb/s", "km/h"): the slash at i joins one or two letters that follow
// a blank or a digit to one letter that ends the word.
inline bool isUnitSlash(const QString& text, qsizetype i)
{
    qsizetype start = i;
    while (start > 0 && text.at(start - 1).isLetter())
        --start;
    const qsizetype before = i - start;
    if (before < 1 || before > 2 ||
        (start > 0 && !text.at(start - 1).isSpace() && !text.at(start - 1).isDigit()))
        return false;
    if (i + 1 >= text.size() || !text.at(i + 1).isLetter())
        return false;
    return i + 2 >= text.size() || !text.at(i + 2).isLetterOrNumber();
}

inline QString withBreakOpportunities(const QString& text)
{
    constexpr QChar kBreak(0x200B);
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        // Coordinates ("+48.8577+002.2950/"): before a sign that follows a digit.
        if ((c == u'+' || c == u'-') && i > 0 && text.at(i - 1).isDigit())
            out += kBreak;
        out += c;
        // Dotted names and paths: after a separator, but not inside a number or a time.
        if ((c == u'/' && !isUnitSlash(text, i)) || c == u'_' || c == u'\\' ||
            (c == u'.' && !next.isDigit()))
            out += kBreak;
    }
    return out;
}

} // namespace perspix
