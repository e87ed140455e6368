// Building comparisons (see ComparisonAssistant.h).
#include "comparison/ComparisonAssistant.h"

#include <QFile>
#include <QSet>
#include <algorithm>

#include "model/Keys.h"
#include "model/Log.h"
#include "model/PropertyList.h"

namespace perspix {

namespace {

QList<PerspixDataPtr> presentFiles(const QList<PerspixDataPtr>& files)
{
    QList<PerspixDataPtr> present;
    present.reserve(files.size());
    for (const PerspixDataPtr& file : files)
        if (file)
            present.append(file);
    return present;
}

QStringList filenames(const QList<PerspixDataPtr>& files)
{
    QStringList paths;
    paths.reserve(files.size());
    for (const PerspixDataPtr& file : files)
        paths.append(file->filename);
    return paths;
}

// Case-insensitive order, made total by a plain comparison of keys equal but for case.
bool keyLess(const QString& a, const QString& b)
{
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// Keys and labels of one stream kind, gathered over every file.
struct KindKeys
{
    QList<QSet<QString>> keySets; // per stream position
    QHash<QString, QString> labels;
};

QStringList orderedKeys(const QSet<QString>& keySet, const QStringList& preferred)
{
    QStringList ordered;
    ordered.reserve(keySet.size());
    QSet<QString> taken;
    for (const QString& key : preferred) {
        if (keySet.contains(key) && !taken.contains(key)) {
            ordered.append(key);
            taken.insert(key);
        }
    }
    QStringList rest;
    rest.reserve(keySet.size() - taken.size());
    for (const QString& key : keySet)
        if (!taken.contains(key))
            rest.append(key);
    std::sort(rest.begin(), rest.end(), keyLess);
    ordered.append(rest);
    return ordered;
}

// Kinds whose general lines are numbered ("Audio #1", "Audio #2") when a file has several.
const QStringList& numberedLineKinds()
{
    static const QStringList kinds = {QStringLiteral("Video"), QStringLiteral("Audio"),
                                      QStringLiteral("Subtitles"), QStringLiteral("Menu"),
                                      QStringLiteral("Other")};
    return kinds;
}

// A file with one stream of a kind names its line "Video", a file with several "Video #1",
// "Video #2": the first streams share one row.
QString normalisedLineName(const QString& name)
{
    for (const QString& kind : numberedLineKinds())
        if (name == kind + QStringLiteral(" #1"))
            return kind;
    return name;
}

} // namespace

const QStringList& ComparisonAssistant::fixedKindOrder()
{
    static const QStringList order = {
        keys::kSectionFile,    keys::kSectionContainer, keys::kSectionImage,
        keys::kSectionVideo,   keys::kSectionAudio,     keys::kSectionSubtitles,
        keys::kSectionMenu,    QStringLiteral("EXIF"),  QStringLiteral("MakerNote"),
        QStringLiteral("GPS"), QStringLiteral("IPTC"),  QStringLiteral("XMP")};
    return order;
}

std::optional<ParametersOrder>
ComparisonAssistant::parametersOrderFromPropertyList(const QByteArray& bytes)
{
    QString error;
    const std::optional<QVariant> decoded = PropertyList::decode(bytes, &error);
    if (!decoded || decoded->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    ParametersOrder order;
    const QVariantMap kinds = decoded->toMap();
    for (auto kind = kinds.cbegin(); kind != kinds.cend(); ++kind) {
        if (kind->typeId() != QMetaType::QVariantList)
            continue;
        QStringList keys;
        for (const QVariant& key : kind->toList())
            if (key.typeId() == QMetaType::QString)
                keys.append(key.toString());
        order.insert(kind.key(), keys);
    }
    return order;
}

const ParametersOrder& ComparisonAssistant::parametersOrder()
{
    static const ParametersOrder order = [] {
        const QString path = QStringLiteral(":/ParametersOrder");
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            logLine(QStringLiteral("Failed to read %1: %2").arg(path, file.errorString()));
            return ParametersOrder{};
        }
        const auto parsed = parametersOrderFromPropertyList(file.readAll());
        if (!parsed)
            logLine(QStringLiteral("Failed to read %1: not a dictionary of key lists").arg(path));
        return parsed.value_or(ParametersOrder{});
    }();
    return order;
}

void ComparisonAssistant::computeRowStatistics(ComparisonRow& row)
{
    row.allEqual = false;
    row.coincidences = 0;
    row.coincidenceString.clear();
    if (row.values.size() < 3)
        return;

    // Distinct values in the order in which they first occur, so that the first of several
    // equally frequent values wins.
    QHash<QString, qsizetype> index;
    QStringList distinct;
    QList<qsizetype> counts;
    index.reserve(row.values.size());
    for (qsizetype i = 1; i < row.values.size(); ++i) {
        const QString& value = row.values.at(i);
        const auto it = index.constFind(value);
        if (it == index.cend()) {
            index.insert(value, counts.size());
            distinct.append(value);
            counts.append(1);
        } else {
            ++counts[*it];
        }
    }
    if (counts.size() == 1) {
        row.allEqual = true;
        row.coincidences = row.values.size() - 1;
        row.coincidenceString = distinct.first();
        return;
    }
    qsizetype best = 1;
    qsizetype bestIndex = 0;
    for (qsizetype i = 0; i < counts.size(); ++i) {
        if (counts.at(i) > best) {
            best = counts.at(i);
            bestIndex = i;
        }
    }
    row.coincidences = best;
    row.coincidenceString = distinct.at(bestIndex);
}

ComparisonResult ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(
    const QList<PerspixDataPtr>& files)
{
    return prepareExtendedComparisonWithPerspixDataArray(files, parametersOrder());
}

ComparisonResult
ComparisonAssistant::prepareExtendedComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& all,
                                                                   const ParametersOrder& order)
{
    const QList<PerspixDataPtr> files = presentFiles(all);
    ComparisonResult result;
    result.descr = filenames(files);

    QHash<QString, KindKeys> kinds;
    QStringList kindsSeen; // in order of first occurrence
    for (const PerspixDataPtr& file : files) {
        const SectionData* data = file->data();
        if (!data)
            continue;
        for (auto section = data->cbegin(); section != data->cend(); ++section) {
            auto kindIt = kinds.find(section.key());
            if (kindIt == kinds.end()) {
                kindIt = kinds.insert(section.key(), KindKeys{});
                kindsSeen.append(section.key());
            }
            KindKeys& kind = *kindIt;
            const QList<ParameterMap>& streams = section.value();
            while (kind.keySets.size() < streams.size())
                kind.keySets.append(QSet<QString>{});
            for (qsizetype i = 0; i < streams.size(); ++i) {
                QSet<QString>& keySet = kind.keySets[i];
                const ParameterMap& stream = streams.at(i);
                for (auto param = stream.cbegin(); param != stream.cend(); ++param) {
                    if (param->skipInComparison)
                        continue;
                    keySet.insert(param.key());
                    if (!kind.labels.contains(param.key()))
                        kind.labels.insert(param.key(), param->name);
                }
            }
        }
    }

    QStringList kindOrder;
    for (const QString& kind : fixedKindOrder())
        if (kinds.contains(kind))
            kindOrder.append(kind);
    for (const QString& kind : std::as_const(kindsSeen))
        if (!fixedKindOrder().contains(kind))
            kindOrder.append(kind);

    for (const QString& kindName : std::as_const(kindOrder)) {
        const KindKeys& kind = kinds[kindName];
        const qsizetype positions = kind.keySets.size();
        const QStringList preferred = order.value(kindName);
        // Each file's streams of the kind, looked up once.
        QList<const QList<ParameterMap>*> fileStreams;
        fileStreams.reserve(files.size());
        for (const PerspixDataPtr& file : files) {
            const SectionData* data = file->data();
            const auto it = data ? data->constFind(kindName) : SectionData::const_iterator{};
            fileStreams.append(data && it != data->cend() ? &*it : nullptr);
        }

        for (qsizetype i = 0; i < positions; ++i) {
            ComparisonRow header;
            header.values.append(
                positions == 1 ? kindName
                               : QStringLiteral("%1 #%2").arg(kindName, QString::number(i + 1)));
            result.content.append(header);

            for (const QString& key : orderedKeys(kind.keySets.at(i), preferred)) {
                ComparisonRow row;
                row.values.reserve(files.size() + 1);
                row.values.append(kind.labels.value(key));
                for (const QList<ParameterMap>* streams : std::as_const(fileStreams)) {
                    QString value;
                    if (streams && i < streams->size()) {
                        const ParameterMap& stream = streams->at(i);
                        const auto param = stream.constFind(key);
                        if (param != stream.cend())
                            value = plainText(param->value);
                    }
                    row.values.append(value);
                }
                result.content.append(std::move(row));
            }
        }
    }

    for (ComparisonRow& row : result.content)
        computeRowStatistics(row);
    return result;
}

ComparisonResult
ComparisonAssistant::prepareGeneralComparisonWithPerspixDataArray(const QList<PerspixDataPtr>& all)
{
    const QList<PerspixDataPtr> files = presentFiles(all);
    ComparisonResult result;
    result.descr = filenames(files);

    QStringList names; // in order of first occurrence
    QSet<QString> nameSet;
    QList<QHash<QString, QString>> fileLines;
    fileLines.reserve(files.size());
    for (const PerspixDataPtr& file : files) {
        QHash<QString, QString> lines;
        if (const GeneralRecord* general = file->generalInfo()) {
            for (const ExtTreeItemPtr& line : general->streams) {
                if (!line)
                    continue;
                const QString name = normalisedLineName(line->name());
                lines.insert(name, line->stringValue());
                if (!nameSet.contains(name)) {
                    nameSet.insert(name);
                    names.append(name);
                }
            }
        }
        fileLines.append(lines);
    }

    for (const QString& name : std::as_const(names)) {
        ComparisonRow row;
        // With a second stream of the kind in any file, the first one's row says which it is.
        const bool numbered =
            numberedLineKinds().contains(name) && nameSet.contains(name + QStringLiteral(" #2"));
        row.values.append(numbered ? name + QStringLiteral(" #1") : name);
        for (const QHash<QString, QString>& lines : std::as_const(fileLines)) {
            row.values.append(lines.value(name));
        }
        computeRowStatistics(row);
        result.content.append(std::move(row));
    }
    return result;
}

} // namespace perspix
