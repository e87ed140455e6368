#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "export/ExportTestSupport.h"
#include "export/HTMLEntities/HTMLEntities.h"

using namespace perspix;
using perspix::test::runPython;

namespace {

QString u16(const char16_t* s)
{
    return QString::fromUtf16(s);
}

} // namespace

TEST(HTMLEntities, TablesAreSortedAndTheFullOneIsHtml401)
{
    const auto full = HTMLEntities::fullTable();
    const auto shortTable = HTMLEntities::shortTable();
    ASSERT_EQ(full.size(), 253u);
    ASSERT_EQ(shortTable.size(), 33u);
    for (const auto table : {full, shortTable})
        for (size_t i = 1; i < table.size(); ++i)
            EXPECT_LT(table[i - 1].unit, table[i].unit) << "binary search needs sorted units";

    // Every short entry is an HTML 4.01 entity too, with the same text.
    for (const auto& e : shortTable) {
        EXPECT_EQ(HTMLEntities::stringByEncodingHTMLEntities(QString(QChar(e.unit))),
                  QString::fromUtf16(e.text));
    }

    // The full table against Python's own list of the HTML 4.01 entities.
    const auto python = runPython(
        QStringLiteral(
            "import html.entities, json; print(json.dumps(html.entities.name2codepoint))"),
        {});
    if (!python)
        GTEST_SKIP() << "python3 not installed";
    ASSERT_EQ(python->exitCode, 0) << python->err.constData();
    QJsonObject expected = QJsonDocument::fromJson(python->out).object();
    expected.insert(QStringLiteral("apos"), 39);
    ASSERT_EQ(expected.size(), 253);
    for (const auto& e : full) {
        QString name = QString::fromUtf16(e.text);
        name = name.mid(1, name.size() - 2); // "&amp;" -> "amp"
        EXPECT_EQ(expected.value(name).toInt(-1), int(e.unit)) << name.toStdString();
    }
}

TEST(HTMLEntities, Escaping)
{
    struct Case
    {
        QString input, shortTable, fullTable, xmlText;
    };
    const QString e = u16(u"\u00e9");
    const QString zhe = u16(u"\u0416");
    const QString smile = u16(u"\U0001F600");
    const Case cases[] = {
        {"", "", "", ""},
        {"plain ascii", "plain ascii", "plain ascii", "plain ascii"},
        {"a<b", "a&lt;b", "a&lt;b", "a&lt;b"},
        {"\"Tom's\" & <x>", "&quot;Tom&apos;s&quot; &amp; &lt;x&gt;",
         "&quot;Tom&apos;s&quot; &amp; &lt;x&gt;", "&quot;Tom&apos;s&quot; &amp; &lt;x&gt;"},
        {"caf" + e, "caf" + e, "caf&eacute;", "caf" + e},
        {zhe, zhe, "&#1046;", zhe},
        {u16(u"5 \u20ac \u2014 \u0152"), u16(u"5 &euro; &mdash; &OElig;"),
         u16(u"5 &euro; &mdash; &OElig;"), u16(u"5 \u20ac \u2014 \u0152")},
        {u16(u"\u00a0x"), u16(u"\u00a0x"), "&nbsp;x", u16(u"\u00a0x")},
        // A character outside the basic plane is one reference, not two halves.
        {smile, smile, "&#128512;", smile},
        // Line breaks stay in text; a carriage return survives an XML parser only as a
        // reference; controls XML cannot carry become U+FFFD.
        {"a\nb\tc", "a\nb\tc", "a\nb\tc", "a\nb\tc"},
        {"a\r\nb", "a\r\nb", "a\r\nb", "a&#13;\nb"},
        {u16(u"x\u0001y\u001fz"), u16(u"x\u0001y\u001fz"), u16(u"x\u0001y\u001fz"),
         u16(u"x\ufffdy\ufffdz")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HTMLEntities::stringByEncodingHTMLEntitiesUnicode(c.input), c.shortTable)
            << c.input.toStdString();
        EXPECT_EQ(HTMLEntities::stringByEncodingHTMLEntities(c.input), c.fullTable)
            << c.input.toStdString();
        EXPECT_EQ(HTMLEntities::stringByEncodingXMLEntities(c.input), c.xmlText)
            << c.input.toStdString();
    }

    // Unpaired surrogates: HTML keeps their numbers, XML (which cannot name them) U+FFFD.
    const QString lone = QString(QChar(0xD83D)) + "x" + QChar(0xDE00);
    EXPECT_EQ(HTMLEntities::stringByEncodingHTMLEntities(lone), "&#55357;x&#56832;");
    EXPECT_EQ(HTMLEntities::stringByEncodingXMLEntities(lone), u16(u"\ufffdx\ufffd"));
    // Attribute values keep tabs and line feeds as references.
    EXPECT_EQ(
        HTMLEntities::stringByEncodingXMLEntities("a\tb\nc\r", HTMLEntities::XmlPlace::Attribute),
        "a&#9;b&#10;c&#13;");
}

TEST(HTMLEntities, NewLinesAsBreaks)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"one line", "one line"},
        {"a\r\nb", "a<br />b"},
        {"a\n\nb", "a<br /><br />b"},
        {"a\n\r\nb", "a<br /><br /><br />b"}, // a run not starting with CR LF: one per unit
        {"a\r\n\r\nb", "a<br /><br />b"},
        {u16(u"a\u2028b\u2029c\u0085d\fe\rf"), "a<br />b<br />c<br />d<br />e<br />f"},
        {"end\n", "end<br />"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(HTMLEntities::stringWithNewLinesAsBRs(input), expected) << input.toStdString();
}

// What the XML escaping writes reads back unchanged through a real XML parser, which knows
// no entity names beyond XML's own five.
TEST(HTMLEntities, XmlEscapingRoundTripsThroughAParser)
{
    QStringList values = {
        "plain",
        u16(u"caf\u00e9 \u0416 \u20ac \u00a0 \u00bd"),
        "<tag attr=\"x\"> & 'quotes'",
        "two\nlines\r\nand a\rcarriage return",
        "tab\there",
        u16(u"emoji \U0001F600 and \U0001D11E"),
        QString::fromUtf8("invalid \xff\xfe utf-8"),
    };
    QByteArray doc = "<root>\n";
    for (const QString& v : values) {
        doc += "<v a=\"" +
               HTMLEntities::stringByEncodingXMLEntities(v, HTMLEntities::XmlPlace::Attribute)
                   .toUtf8() +
               "\">" + HTMLEntities::stringByEncodingXMLEntities(v).toUtf8() + "</v>\n";
    }
    doc += "</root>";
    const auto python = runPython(QStringLiteral(R"(
import sys, json
import xml.etree.ElementTree as ET
root = ET.fromstring(sys.stdin.buffer.read())
print(json.dumps([[e.get('a'), e.text or ''] for e in root]))
)"),
                                  doc);
    if (!python)
        GTEST_SKIP() << "python3 not installed";
    ASSERT_EQ(python->exitCode, 0) << python->err.constData() << doc.constData();
    const QJsonArray parsed = QJsonDocument::fromJson(python->out).array();
    ASSERT_EQ(parsed.size(), values.size());
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(parsed[i][0].toString(), values[i]);
        EXPECT_EQ(parsed[i][1].toString(), values[i]);
    }
}
