// Analysed files built by hand for the comparison tests (their analysis result written out
// directly), the text form of comparison rows, and expected-output files.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "comparison/ComparisonAssistant.h"
#include "model/PerspixData.h"
#include "support/TestSupport.h"

namespace perspix::test {

struct Param
{
    QString key;
    QString name;
    QString value;
    bool skipInComparison = false;
};
using Stream = QList<Param>;
struct Section
{
    QString kind;
    QList<Stream> streams;
};
struct Line
{
    QString name;
    QString value;
};

inline PerspixDataPtr handMadeFile(const QString& path, const QList<Section>& sections,
                                   const QList<Line>& lines = {})
{
    ResultRecord result;
    for (const Section& section : sections) {
        QList<ParameterMap>& streams = result.data[section.kind];
        for (const Stream& stream : section.streams) {
            ParameterMap map;
            for (const Param& p : stream)
                map.insert(p.key, ParameterRecord{p.name, p.value, p.skipInComparison, false});
            streams.append(map);
        }
    }
    for (const Line& line : lines)
        result.general.streams.append(ExtTreeItem::itemWithName(line.name, line.value));
    return std::make_shared<PerspixData>(path, result);
}

// One line per row: "== title" for a header, otherwise the title and the values separated
// by " | ", then the row's figures.
inline QString rowsText(const ComparisonResult& result)
{
    QString text = QStringLiteral("files: %1\n").arg(result.descr.join(QStringLiteral(", ")));
    for (const ComparisonRow& row : result.content) {
        if (row.isHeader()) {
            text += u"== " + row.values.value(0) + u"\n";
            continue;
        }
        text += row.values.join(QStringLiteral(" | ")) + u"   [" +
                (row.allEqual ? u"equal " : u"differ ") + QString::number(row.coincidences) +
                u" \"" + row.coincidenceString + u"\"]\n";
    }
    return text;
}

inline QString expectedPath(const QString& name)
{
    return dataPath(QStringLiteral("expected/comparison/") + name);
}

// Compares with the expected-output file; with PERSPIX_UPDATE_EXPECTED set, rewrites it.
inline void expectMatchesFile(const QString& actual, const QString& name)
{
    const QString path = expectedPath(name);
    if (qEnvironmentVariableIsSet("PERSPIX_UPDATE_EXPECTED")) {
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(actual.toUtf8());
        return;
    }
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(actual.toStdString(), QString::fromUtf8(in.readAll()).toStdString())
        << name.toStdString();
}

} // namespace perspix::test
