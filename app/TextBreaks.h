// Break opportunities for long names without blanks ("com.apple.quicktime.location.ISO6709",
// paths, coordinates): zero-width spaces at the separators let wrapped text break there
// instead of running out of its column. Only for drawn text; copies keep the values as they are.
#pragma once

#include <QString>

namespace perspix {

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
        if (c == u'/' || c == u'_' || c == u'\\' || (c == u'.' && !next.isDigit()))
            out += kBreak;
    }
    return out;
}

} // namespace perspix
