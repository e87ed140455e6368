// Benchmark: export of 1,000 analysed media files in each format, into one compound file
// and into one file per input. The records are real MediaInfo results of the sample files,
// each analysed once and repeated under distinct paths up to the count. Prints seconds and
// bytes per format against the target (1 s for 1,000 files), and the JSON writer against
// Qt's own JSON writer on the same object.
// Usage: export_formats [count, default 1000] [folder to analyse, default tests/data]
//                       [formats, comma-separated, default all]
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <ctime>
#include <functional>

#include "batch/CoreSetup.h"
#include "export/ExportFormat.h"
#include "export/JsonWriter.h"
#include "export/PerspixExporter.h"
#include "model/Log.h"
#include "model/PropertyList.h"

using namespace perspix;

namespace {

QString defaultDataFolder()
{
    // build/<preset>/bench/export_formats -> tests/data of the source tree
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../../../tests/data");
}

// Wall-clock and processor time together: on a machine shared with other work the
// processor time says what the export itself costs.
class Stopwatch
{
public:
    Stopwatch() { restart(); }
    void restart()
    {
        m_wall.start();
        m_cpu = cpuNow();
    }
    double wall() const { return m_wall.nsecsElapsed() / 1e9; }
    double cpu() const { return cpuNow() - m_cpu; }
    QString text() const
    {
        return QStringLiteral("%1 s (cpu %2 s)").arg(wall(), 0, 'f', 3).arg(cpu(), 0, 'f', 3);
    }

private:
    static double cpuNow()
    {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec + t.tv_nsec / 1e9;
    }
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setupCore();
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 1000;
    const QString folder = args.size() > 2 && !args[2].isEmpty() ? args[2] : defaultDataFolder();
    const QStringList formats =
        args.size() > 3 ? args[3].split(QLatin1Char(',')) : ExportFormat::identifiers();

    // Real analyses of the sample films and sound files.
    FileRecordList distinct;
    {
        LogCapture quiet; // files no reader opens are simply not used
        for (const char* sub : {"media", "audio"}) {
            QDirIterator it(QDir(folder).filePath(QString::fromLatin1(sub)), QDir::Files);
            while (it.hasNext()) {
                const QString path = it.next();
                if (const auto data = PerspixData::dataAboutFile(path, {}); data && data->dict())
                    distinct.append({path, QFileInfo(path).fileName(), data});
            }
        }
    }
    if (distinct.isEmpty() || count <= 0) {
        fprintf(stderr, "no analysed files under %s\n", qPrintable(folder));
        return 1;
    }
    FileRecordList records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        FileRecord r = distinct[i % distinct.size()];
        // Distinct names, as a real list has: the separate files then never collide.
        const QString name = QStringLiteral("%1-%2").arg(i, 4, 10, QLatin1Char('0'));
        r.pathPrefix = name + QLatin1Char('/') + r.pathPrefix;
        r.filename = QStringLiteral("/bench/") + r.pathPrefix;
        records.append(r);
    }
    out << "Export of " << count << " analysed files (" << distinct.size()
        << " distinct MediaInfo results repeated); target: under 1 s per format\n\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg("format", -6)
               .arg("compound s", 11)
               .arg("cpu s", 8)
               .arg("bytes", 10)
               .arg("separate s", 11)
               .arg("cpu s", 8)
               .arg("bytes", 10);
    out.flush();

    bool allUnderTarget = true;
    for (const QString& format : formats) {
        QTemporaryDir dir;
        PerspixExporter exporter;
        exporter.setFormat(format);
        exporter.setArrayWithData(records);

        Stopwatch compoundTime;
        const QString compound = dir.filePath("all." + format);
        const bool written = exporter.writeCompoundFile(compound) == PerspixExporter::Written;
        const double compoundWall = compoundTime.wall(), compoundCpu = compoundTime.cpu();

        const QString separate = dir.filePath("separate");
        QDir().mkpath(separate);
        Stopwatch separateTime;
        const auto report = exporter.writeSeparateFiles(separate);
        const double separateWall = separateTime.wall(), separateCpu = separateTime.cpu();
        if (!written || !report.failed.isEmpty()) {
            fprintf(stderr, "%s: export failed\n", qPrintable(format));
            return 1;
        }
        allUnderTarget = allUnderTarget && compoundCpu < 1 && separateCpu < 1;
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(format, -6)
                   .arg(compoundWall, 11, 'f', 3)
                   .arg(compoundCpu, 8, 'f', 3)
                   .arg(QFileInfo(compound).size(), 10)
                   .arg(separateWall, 11, 'f', 3)
                   .arg(separateCpu, 8, 'f', 3)
                   .arg(folderBytes(separate), 10);
        out.flush();
    }

    // The floor of separate files: the same number of files of the same size written with
    // nothing else to do. Creating files is the file system's cost, not the export's.
    {
        QTemporaryDir dir;
        const QByteArray bytes(4096, 'x');
        Stopwatch floor;
        for (int i = 0; i < count; ++i) {
            QFile f(dir.filePath(QString::number(i) + QStringLiteral(".txt")));
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return 1;
        }
        out << "\nFloor: " << count << " plain files of 4 KiB written in " << floor.text() << "\n";
    }

    // The JSON writer against Qt's on the same object (Qt's sorts keys, ours keeps them).
    const QVariant object = ExportFormat::exportObject(records, false);
    Stopwatch ours;
    JsonWriter writer;
    writer.setHumanReadable(true);
    const qsizetype oursBytes = writer.stringWithObject(object).value_or(QString()).toUtf8().size();
    const double oursCpu = ours.cpu();
    const QString oursText = ours.text();
    // Qt needs plain maps: the same tree with its ordered records as QVariantMap.
    const std::function<QVariant(const QVariant&)> plain = [&](const QVariant& v) -> QVariant {
        if (v.typeId() == qMetaTypeId<PlistDict>()) {
            QVariantMap m;
            for (const auto& [k, e] : v.value<PlistDict>().entries)
                m.insert(k, plain(e));
            return m;
        }
        if (v.typeId() == QMetaType::QVariantList) {
            QVariantList l;
            for (const QVariant& e : v.toList())
                l.append(plain(e));
            return l;
        }
        return v;
    };
    const QVariant plainObject = plain(object);
    Stopwatch qt;
    const qsizetype qtBytes =
        QJsonDocument::fromVariant(plainObject).toJson(QJsonDocument::Indented).size();
    out << "JSON text of the whole list: JsonWriter " << oursText << ", " << oursBytes
        << " bytes; QJsonDocument " << qt.text() << ", " << qtBytes << " bytes; cpu ratio "
        << QString::number(oursCpu / qt.cpu(), 'f', 2) << "\n";

    // Where the time of a property list goes: building the object, libplist's encoding.
    Stopwatch objectTime;
    const QVariant again = ExportFormat::exportObject(records, false);
    const QString objectText = objectTime.text();
    Stopwatch binaryTime;
    const auto binary = PropertyList::toBinary(again);
    const QString binaryText = binaryTime.text();
    Stopwatch xmlTime;
    const auto xml = PropertyList::toXml(again);
    out << "Property list of the whole list: export object " << objectText << "; libplist binary "
        << binaryText << ", " << (binary ? binary->size() : 0)
        << " bytes; libplist XML for comparison " << xmlTime.text() << "\n";
    // The verdict counts processor time: wall time here also measures whatever else the
    // machine is doing.
    out << (allUnderTarget ? "every format under the target (processor time)\n"
                           : "AN EXPORT IS SLOWER THAN THE TARGET (processor time)\n");
    return 0;
}
