// The ExifTool branch of the analysis with the real ExifTool: sections and values against
// ExifTool's own JSON report, the Duration rule, and the general record.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <memory>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PerspixData.h"
#include "support/TestSupport.h"
#include "taglink/AuxiliaryPrograms.h"
#include "taglink/JSON/Json5ParserHandler.h"
#include "taglink/JSON/JsonStreamParser.h"
#include "taglink/Taglink.h"

using namespace perspix;
using perspix::test::dataPath;

namespace {

const QVariantMap kExiftoolOptions{{keys::kOptVideoUtility, keys::kVideoUtilityExiftool}};

// The members of the records directly inside the root list, in order and with repeated
// keys, each value as Taglink shows it.
class MemberCollector : public taglink::JsonStreamParserDelegate
{
public:
    using Members = std::vector<std::pair<QString, QString>>;
    std::vector<Members> records;

    void parserFoundObjectStart() override { open(true); }
    void parserFoundArrayStart() override { open(false); }
    void parserFoundObjectEnd() override { close(true); }
    void parserFoundArrayEnd() override { close(false); }
    void parserFoundObjectKey(std::string_view key) override
    {
        if (m_inner)
            m_inner->parserFoundObjectKey(key);
        else
            m_key = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    }
    void parserFoundBoolean(bool v) override { scalar(taglink::JsonValue(v)); }
    void parserFoundNull() override { scalar(taglink::JsonValue(nullptr)); }
    void parserFoundNumber(taglink::JsonNumber n) override { scalar(taglink::JsonValue(n)); }
    void parserFoundString(std::string_view s) override { scalar(taglink::JsonValue(s)); }
    void parserFoundError(const taglink::JsonError& e) override { ADD_FAILURE() << e.message; }

private:
    void open(bool object)
    {
        if (!m_inner && m_depth == 2) {
            m_inner = std::make_unique<taglink::Json5ParserHandler>();
            m_innerDepth = 0;
        }
        if (!m_inner) {
            if (++m_depth == 2)
                records.emplace_back();
            return;
        }
        ++m_innerDepth;
        if (object)
            m_inner->parserFoundObjectStart();
        else
            m_inner->parserFoundArrayStart();
    }
    void close(bool object)
    {
        if (!m_inner) {
            --m_depth;
            return;
        }
        if (object)
            m_inner->parserFoundObjectEnd();
        else
            m_inner->parserFoundArrayEnd();
        if (--m_innerDepth == 0) {
            add(taglink::Taglink::valueText(*m_inner->data()));
            m_inner.reset();
        }
    }
    void scalar(const taglink::JsonValue& v)
    {
        if (m_inner) {
            if (v.isString())
                m_inner->parserFoundString(v.asString());
            else if (v.isNumber())
                m_inner->parserFoundNumber(v.asNumber());
            else if (v.isBool())
                m_inner->parserFoundBoolean(v.asBool());
            else
                m_inner->parserFoundNull();
        } else if (m_depth == 2) {
            add(taglink::Taglink::valueText(v));
        }
    }
    void add(const std::string& value)
    {
        records.back().emplace_back(m_key, QString::fromStdString(value));
    }

    int m_depth = 0;
    QString m_key;
    std::unique_ptr<taglink::Json5ParserHandler> m_inner;
    int m_innerDepth = 0;
};

// ExifTool's own report of files in one run: "-j -G1 -a" (or other groups), per file the
// (group:tag, value) pairs in order, SourceFile first.
std::vector<MemberCollector::Members> exiftoolReport(const QStringList& paths,
                                                     const QString& groups = QStringLiteral("-G1"))
{
    QProcess p;
    p.start(QString::fromStdString(taglink::auxiliaryProgram("exiftool/exiftool")),
            QStringList{QStringLiteral("-j"), groups, QStringLiteral("-a")} + paths);
    EXPECT_TRUE(p.waitForFinished(120000));
    const QByteArray json = p.readAllStandardOutput();
    MemberCollector collector;
    taglink::JsonStreamParser parser(&collector);
    EXPECT_EQ(parser.parse(std::string_view(json.constData(), json.size())),
              taglink::JsonParserStatus::Complete);
    EXPECT_EQ(collector.records.size(), static_cast<std::size_t>(paths.size()));
    return collector.records;
}

using TagValues = QMap<QString, QStringList>; // section -> sorted "tag=value" lines

// What ExifTool reports and we lack, and what we show under a group and name that ExifTool
// does not report at all, one line each. ExifTool's JSON keeps one tag per group and name
// (by its own priority); we show every one of them.
std::string differences(const TagValues& expected, const TagValues& actual)
{
    QStringList lines;
    QStringList sections = expected.keys() + actual.keys();
    sections.removeDuplicates();
    const auto nameOf = [](const QString& line) { return line.section(QLatin1Char('='), 0, 0); };
    for (const QString& section : sections) {
        QStringList missing = expected.value(section);
        for (const QString& line : actual.value(section))
            missing.removeOne(line);
        for (const QString& line : missing)
            lines.append(QStringLiteral("missing ") + section + QLatin1Char(' ') + line);
        QStringList names;
        for (const QString& line : expected.value(section))
            names.append(nameOf(line));
        for (const QString& line : actual.value(section)) {
            if (!names.contains(nameOf(line)))
                lines.append(QStringLiteral("extra ") + section + QLatin1Char(' ') + line);
        }
    }
    return lines.join(QLatin1Char('\n')).toStdString();
}

QString tagName(const QString& key, QChar separator)
{
    return key.mid(key.lastIndexOf(separator) + 1);
}

} // namespace

class ExiftoolAnalysis : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_process = taglink::TaglinkStayOpenProcess::init();
        ASSERT_TRUE(m_process);
    }
    PerspixDataPtr analyse(const QString& path)
    {
        return PerspixData::dataAboutFile(path, kExiftoolOptions, m_process.get());
    }
    std::unique_ptr<taglink::TaglinkStayOpenProcess> m_process;
};

TEST_F(ExiftoolAnalysis, SectionsAndValuesEqualExifToolsOwnReport)
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    ASSERT_GE(files.size(), 20);
    const auto reports = exiftoolReport(files);
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(files.size()));
    for (qsizetype f = 0; f < files.size(); ++f) {
        const QString& file = files[f];
        SCOPED_TRACE(file.toStdString());
        const PerspixDataPtr data = analyse(file);
        ASSERT_TRUE(data);
        EXPECT_TRUE(data->isUnknown());

        TagValues expected;
        QStringList expectedOrder;
        ASSERT_EQ(reports[f].front().second, file);
        for (const auto& [key, value] : reports[f]) {
            const QString group = key.section(QLatin1Char(':'), 0, 0);
            if (key == QLatin1String("SourceFile") || group == QLatin1String("ExifTool") ||
                group == QLatin1String("System"))
                continue;
            const QString section =
                group == QLatin1String("File") ? keys::kSectionContainer : group;
            const QString tag = tagName(key, QLatin1Char(':'));
            // Every Duration tag shares one key; checked on its own below.
            if (tag == QLatin1String("Duration"))
                continue;
            if (!expectedOrder.contains(section))
                expectedOrder.append(section);
            expected[section].append(tag + QLatin1Char('=') + value);
        }

        TagValues actual;
        QStringList actualOrder;
        int copies = 0;
        const ExtTreeList& extended = *data->extendedContent();
        ASSERT_FALSE(extended.isEmpty());
        EXPECT_EQ(extended.first()->key(), keys::kSectionFile);
        for (qsizetype g = 1; g < extended.size(); ++g) {
            const ExtTreeItemPtr& group = extended[g];
            const ExtTreeList children = *group->children();
            for (const ExtTreeItemPtr& item : children) {
                if (item->key() == QLatin1String("Duration"))
                    continue;
                const QString tag = tagName(item->key(), QLatin1Char('.'));
                if (!item->key().section(QLatin1Char('.'), 3, 3).isEmpty())
                    ++copies;
                if (!actualOrder.contains(group->key()))
                    actualOrder.append(group->key());
                actual[group->key()].append(tag + QLatin1Char('=') + item->stringValue());
            }
        }
        for (QStringList& lines : expected)
            lines.sort();
        for (QStringList& lines : actual)
            lines.sort();
        EXPECT_EQ(actualOrder.join(QLatin1Char(',')).toStdString(),
                  expectedOrder.join(QLatin1Char(',')).toStdString());
        EXPECT_EQ(differences(expected, actual), "");
        if (file.endsWith(QLatin1String("multi.mkv"))) {
            EXPECT_GT(copies, 0);
        }

        // Every section has one stream's worth of records and export keys.
        for (const ExtTreeItemPtr& group : extended) {
            ASSERT_EQ(data->data()->value(group->key()).size(), 1);
            ASSERT_EQ(data->dict()->exportOptions.value(group->key()).size(), 1);
        }
    }
}

TEST_F(ExiftoolAnalysis, FilmGivesFormatDurationAndContainerAfterFile)
{
    const PerspixDataPtr data = analyse(dataPath(QStringLiteral("media/paris.mp4")));
    ASSERT_TRUE(data);
    const GeneralRecord& general = *data->generalInfo();
    EXPECT_EQ(general.string(keys::kFormat), QStringLiteral("MP4"));
    EXPECT_EQ(general.string(keys::kDuration), QStringLiteral("2.00 s"));
    EXPECT_EQ(general.string(keys::kBitrate), QString());
    EXPECT_EQ(general.string(keys::kImageSize), QString());
    EXPECT_EQ(data->duration, 2000);
    EXPECT_FALSE(data->isVideo());
    EXPECT_TRUE(data->isUnknown());

    const ExtTreeList& extended = *data->extendedContent();
    ASSERT_GE(extended.size(), 2);
    EXPECT_EQ(extended[0]->key(), keys::kSectionFile);
    // ExifTool's "File" group is the section "Container", where its first tag stands.
    EXPECT_EQ(extended[1]->key(), keys::kSectionContainer);
    const ExtTreeItemPtr fileType = extended[1]->children()->first();
    EXPECT_EQ(fileType->key(), QStringLiteral("File.File.Other..FileType"));
    EXPECT_EQ(fileType->name(), QStringLiteral("File Type"));
    EXPECT_EQ(fileType->stringValue(), QStringLiteral("MP4"));
    ASSERT_TRUE(fileType->paramDictStore());
    EXPECT_EQ(fileType->paramDictStore()->ifd, keys::kSectionContainer);

    // The same keys, in order, in the tree, the records and the export list.
    // Copies: value() answers a temporary list, which a reference into it would outlive.
    const ParameterMap container = data->data()->value(keys::kSectionContainer).first();
    const QStringList exportKeys =
        data->dict()->exportOptions.value(keys::kSectionContainer).first();
    QStringList treeKeys;
    const ExtTreeList containerItems = *extended[1]->children();
    for (const ExtTreeItemPtr& item : containerItems)
        treeKeys.append(item->key());
    EXPECT_EQ(exportKeys, treeKeys);
    EXPECT_EQ(container.value(QStringLiteral("File.File.Other..MIMEType")).valueString(),
              QStringLiteral("video/mp4"));
    // Lists are joined; numbers keep ExifTool's text.
    ParameterMap quicktime = data->data()->value(QStringLiteral("QuickTime")).first();
    EXPECT_EQ(quicktime.value(QStringLiteral("QuickTime.QuickTime.Video..CompatibleBrands"))
                  .valueString(),
              QStringLiteral("isom, iso2, avc1, mp41"));
    EXPECT_EQ(
        quicktime.value(QStringLiteral("QuickTime.QuickTime.Video..MinorVersion")).valueString(),
        QStringLiteral("0.2.0"));
}

TEST_F(ExiftoolAnalysis, EveryDurationTagLandsInTheLastOnesSection)
{
    const QString file = dataPath(QStringLiteral("media/multi.mkv"));
    QStringList durationGroups;
    QString lastValue;
    const auto reports = exiftoolReport({file}, QStringLiteral("-G1:4"));
    ASSERT_EQ(reports.size(), 1u);
    for (const auto& [key, value] : reports[0]) {
        if (tagName(key, QLatin1Char(':')) == QLatin1String("Duration")) {
            durationGroups.append(key.section(QLatin1Char(':'), 0, 0));
            lastValue = value;
        }
    }
    ASSERT_GE(durationGroups.size(), 2);

    const PerspixDataPtr data = analyse(file);
    ASSERT_TRUE(data);
    QMap<QString, QStringList> durationItems;
    for (const ExtTreeItemPtr& group : *data->extendedContent()) {
        const ExtTreeList children = *group->children();
        for (const ExtTreeItemPtr& item : children) {
            if (item->key() == QLatin1String("Duration"))
                durationItems[group->key()].append(item->stringValue());
        }
    }
    const QString lastSection = durationGroups.last() == QLatin1String("File")
                                    ? keys::kSectionContainer
                                    : durationGroups.last();
    EXPECT_EQ(durationItems.keys(), QStringList{lastSection});
    const QStringList sameValue(durationGroups.size(), lastValue);
    EXPECT_EQ(durationItems.value(lastSection), sameValue);
    EXPECT_EQ(data->generalInfo()->string(keys::kDuration), lastValue);
    // The last Duration is a Matroska tag text without a number: the numeric duration is
    // the segment's, the last Duration that has one.
    EXPECT_EQ(data->duration, 2024);
}

TEST_F(ExiftoolAnalysis, WithoutAProcessEveryFileFails)
{
    LogCapture log;
    const QString file = dataPath(QStringLiteral("audio/stereo.wav"));
    EXPECT_FALSE(PerspixData::dataAboutFile(file, kExiftoolOptions, nullptr));
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("Taglink: No process at init()"),
                                        QStringLiteral("Failed to parse with exiftool: ") + file}));
}
