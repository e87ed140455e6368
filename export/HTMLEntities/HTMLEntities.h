// Escaping of labels and values for the HTML and XML outputs, and the line-break
// conversion for HTML. Pure string operations on UTF-16 code units; no state.
#pragma once

#include <QString>
#include <span>

namespace perspix {

class HTMLEntities
{
public:
    struct Entity
    {
        char16_t unit;
        const char16_t* text;
    };

    // Escapes with the short table only; every other code unit stays as it is, so accented
    // letters and non-Latin text are written unchanged. For HTML output.
    static QString stringByEncodingHTMLEntitiesUnicode(const QString& text);
    // Escapes with the full table; any other character above 127 becomes a decimal
    // reference ("&#233;"), a surrogate pair one reference of its code point.
    static QString stringByEncodingHTMLEntities(const QString& text);

    // Where an XML-escaped text goes: attribute values also keep tabs and line feeds, which
    // a parser would otherwise turn into blanks.
    enum class XmlPlace { Text, Attribute };
    // Escaping for an XML 1.0 parser: only the five entities XML defines, every other
    // character stays as it is; carriage returns become references (a parser would turn
    // them into line feeds) and characters XML cannot carry at all (most control
    // characters, unpaired surrogates, U+FFFE, U+FFFF) become U+FFFD.
    static QString stringByEncodingXMLEntities(const QString& text,
                                               XmlPlace place = XmlPlace::Text);

    // CR LF becomes one "<br />"; otherwise every code unit of a run of line-break
    // characters (LF, CR, U+0085, U+000C, U+2028, U+2029) becomes one "<br />".
    static QString stringWithNewLinesAsBRs(const QString& text);

    // The two entity tables, sorted by code unit.
    static std::span<const Entity> shortTable();
    static std::span<const Entity> fullTable();
};

} // namespace perspix
