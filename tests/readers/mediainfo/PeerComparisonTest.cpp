// Every value the analysis shows for a film or sound file must be the value the mediainfo
// command-line tool (the same library) reports for that parameter in its full JSON output.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "model/Keys.h"
#include "model/PerspixData.h"
#include "support/TestSupport.h"

namespace perspix {
namespace {

// Section name of the extended tree to the tool's track type.
const QMap<QString, QString> kTrackTypes = {
    {keys::kSectionContainer, QStringLiteral("General")},
    {keys::kSectionVideo, QStringLiteral("Video")},
    {keys::kSectionAudio, QStringLiteral("Audio")},
    {keys::kSectionSubtitles, QStringLiteral("Text")},
    {keys::kSectionOther, QStringLiteral("Other")},
    {keys::kSectionImage, QStringLiteral("Image")},
    {keys::kSectionMenu, QStringLiteral("Menu")},
};

std::optional<QJsonArray> peerTracks(const QString& path)
{
    QProcess tool;
    tool.start(QStringLiteral("mediainfo"),
               {QStringLiteral("-f"), QStringLiteral("--Output=JSON"), path});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(tool.readAllStandardOutput());
    return doc.object()
        .value(QStringLiteral("media"))
        .toObject()
        .value(QStringLiteral("track"))
        .toArray();
}

// The n-th (0-based) track of a type in the tool's output.
QJsonObject peerTrack(const QJsonArray& tracks, const QString& type, quint64 n)
{
    quint64 seen = 0;
    for (const QJsonValue& track : tracks) {
        const QJsonObject object = track.toObject();
        if (object.value(QStringLiteral("@type")).toString() != type)
            continue;
        if (seen++ == n)
            return object;
    }
    return {};
}

// The tool's JSON writes the library's parameter names without "(", ")" and "-", with "_"
// for every other character a name may not hold, and "_" before a leading digit
// ("Channel(s)/String" is "Channels_String", "Bits-(Pixel*Frame)" is "BitsPixel_Frame").
QString peerName(QString key)
{
    static const QRegularExpression dropped(QStringLiteral("[()\\-]"));
    static const QRegularExpression invalid(QStringLiteral("[^A-Za-z0-9_]"));
    key.remove(dropped);
    key.replace(invalid, QStringLiteral("_"));
    if (!key.isEmpty() && key.at(0).isDigit())
        key.prepend(QLatin1Char('_'));
    return key;
}

std::optional<QString> peerValue(const QJsonObject& track, const QString& name)
{
    if (track.contains(name))
        return track.value(name).toString();
    const QJsonObject extra = track.value(QStringLiteral("extra")).toObject();
    if (extra.contains(name))
        return extra.value(name).toString();
    return std::nullopt;
}

// Decimal-unit size text as the "/SI" forms show it, computed here from the tool's raw
// byte count so that the test does not lean on the adapter's own arithmetic.
QString decimalSize(double bytes)
{
    const char* units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(qint64(bytes));
    int unit = 0;
    double value = bytes / 1000;
    while (value >= 1000 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    const int decimals = value >= 100 ? 0 : value >= 10 ? 1 : 2;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(units[unit]));
}

// What the tool reports for one shown parameter, or nothing when it has no such entry.
std::optional<QString> expectedValue(const QJsonObject& track, const QString& key)
{
    if (key.endsWith(QLatin1String("/SI"))) {
        // "StreamSize/String/SI" from "StreamSize" and "StreamSize_Proportion".
        const QString base = key.section(QLatin1Char('/'), 0, 0);
        const auto size = peerValue(track, base);
        if (!size)
            return std::nullopt;
        QString text = decimalSize(size->toDouble());
        if (const auto share = peerValue(track, base + QStringLiteral("_Proportion")))
            text += QStringLiteral(" (%1%)").arg(double(share->toFloat() * 100.0f), 0, 'f', 1);
        return text;
    }
    auto value = peerValue(track, peerName(key));
    if (!value)
        return std::nullopt;
    // The JSON splits "Profile@Level" into Format_Profile and Format_Level (the library
    // writes "@L1.3" for a numbered level, "@Main" for a named one) and writes a bare
    // number where the library's version text reads "Version N".
    if (key == QLatin1String("Format_Profile")) {
        if (const auto level = peerValue(track, QStringLiteral("Format_Level")))
            *value +=
                (level->at(0).isDigit() ? QStringLiteral("@L") : QStringLiteral("@")) + *level;
    }
    if (key == QLatin1String("Format_Version"))
        value->prepend(QStringLiteral("Version "));
    return value;
}

struct Difference
{
    QString where;
    QString ours;
    QString peers;
};

// Compares every line of the extended tree, and the parameter record under the same key,
// with the tool's report; counts the parameters compared.
QList<Difference> compareWithPeer(const QString& path, const QJsonArray& tracks, bool useSIUnits,
                                  int& compared)
{
    QList<Difference> differences;
    const auto data = PerspixData::dataAboutFile(
        path, {{keys::kOptUseSIUnits, useSIUnits}, {keys::kOptSkipExtAttributes, true}});
    if (!data || !data->extendedContent()) {
        differences.append({QStringLiteral("no analysis"), {}, {}});
        return differences;
    }
    QMap<QString, qsizetype> streamsSeen;
    for (const ExtTreeItemPtr& group : *data->extendedContent()) {
        if (!kTrackTypes.contains(group->key()))
            continue;
        const QJsonObject track =
            peerTrack(tracks, kTrackTypes.value(group->key()), group->mediaStreamIndex() - 1);
        const ParameterMap records =
            data->data()->value(group->key()).at(streamsSeen[group->key()]++);
        for (const ExtTreeItemPtr& item : group->children().value_or(ExtTreeList())) {
            const QString where = group->name() + QStringLiteral(" / ") + item->key();
            const QString ours = item->stringValue();
            const auto peers = expectedValue(track, item->key());
            ++compared;
            if (!peers || *peers != ours)
                differences.append({where, ours, peers.value_or(QStringLiteral("<absent>"))});
            if (records.value(item->key()).valueString() != ours)
                differences.append({where + QStringLiteral(" (record)"),
                                    records.value(item->key()).valueString(), ours});
        }
    }
    return differences;
}

QStringList mediaSamples()
{
    QStringList files;
    for (const QString& folder : {QStringLiteral("media"), QStringLiteral("audio")}) {
        const QDir dir(test::dataPath(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

TEST(PeerComparison, EveryShownValueMatchesTheToolsFullReport)
{
    const QStringList files = mediaSamples();
    ASSERT_GE(files.size(), 20);
    int compared = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(qPrintable(QFileInfo(path).fileName()));
        const auto tracks = peerTracks(path);
        ASSERT_TRUE(tracks) << "mediainfo did not run";
        for (const bool si : {false, true}) {
            for (const Difference& d : compareWithPeer(path, *tracks, si, compared))
                ADD_FAILURE() << (si ? "(SI units) " : "") << qPrintable(d.where) << ": ours \""
                              << qPrintable(d.ours) << "\", mediainfo \"" << qPrintable(d.peers)
                              << "\"";
        }
    }
    // Guards against a comparison that passes because nothing was shown.
    EXPECT_GT(compared, 600);
}

} // namespace
} // namespace perspix
