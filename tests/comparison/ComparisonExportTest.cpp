#include <gtest/gtest.h>

#include "comparison/ComparisonExport.h"
#include "tests/comparison/HandMadeFiles.h"

using namespace perspix;
using namespace perspix::test;

namespace {

ComparisonResult threeFiles()
{
    const auto file = [](const QString& path, const QString& title, const QString& codec) {
        return handMadeFile(path, {{"Container", {{{"Title", "Title", title}}}},
                                   {"Video", {{{"Format/String", "Format", codec}}}}});
    };
    return ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(
        {file("/films/a <draft>.mp4", "Say \"cheese\"", "AVC"),
         file("/films/b.mkv", "Line one\nLine two", "AVC"),
         file("/films/Été à Paris.mov", "A, B & C", "<none>")},
        {});
}

TEST(ComparisonExport, ExportTextsMatchExpectedFiles)
{
    const ComparisonResult result = threeFiles();
    expectMatchesFile(ComparisonExport::csvExportStringForContent(result.content, result.descr),
                      "export-three-files.csv");
    expectMatchesFile(ComparisonExport::htmlExportStringForContent(result.content, result.descr),
                      "export-three-files.html");

    // Two files: a header row is the quoted title and one comma per file.
    const ComparisonResult two = ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(
        {handMadeFile("/a.mp4", {{"Video", {{{"Format/String", "Format", "AVC"}}}}}),
         handMadeFile("/b.mp4", {{"Video", {{{"Format/String", "Format", "HEVC"}}}}})},
        {});
    EXPECT_EQ(ComparisonExport::csvExportStringForContent(two.content, two.descr),
              "\"Video\",,\n\"Format\",\"AVC\",\"HEVC\"");
}

TEST(ComparisonExport, EmptyComparison)
{
    EXPECT_EQ(ComparisonExport::csvExportStringForContent({}, {}), "");
    EXPECT_EQ(ComparisonExport::htmlExportStringForContent({}, {}),
              ComparisonExport::htmlPageHead() +
                  "<table><tr><td>&nbsp;</td></tr></table>\n</body>\n</html>\n");
}

TEST(ComparisonExport, ClipboardRows)
{
    const ComparisonResult result = threeFiles();
    struct Case
    {
        QList<ComparisonRow> rows;
        QString html;
    };
    const Case cases[] = {
        {{result.content.first()},
         "<table cellspacing=0><tr><td><b>Container</b></td></tr></table>"},
        {{result.content[1]},
         "<table cellspacing=0><tr><td>Title</td><td>Say &quot;cheese&quot;</td>"
         "<td>Line one<br />Line two</td><td>A, B &amp; C</td></tr></table>"},
        {{result.content[2], result.content[3]},
         "<table cellspacing=0><tr><td><b>Video</b></td></tr>\n<tr><td>Format</td><td>AVC</td>"
         "<td>AVC</td><td>&lt;none&gt;</td></tr></table>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComparisonExport::pboardHtmlForRows(c.rows), c.html);
}

} // namespace
