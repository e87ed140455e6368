// Command-line export and projects (see CommandLineExport.h).
#include "export/CommandLineExport.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "export/ExportFormat.h"
#include "export/PerspixExporter.h"
#include "export/PerspixProject.h"

namespace perspix {

namespace {

void add(QStringList* messages, const QString& message)
{
    if (messages)
        messages->append(message);
}

} // namespace

CommandLineExport::Status CommandLineExport::validate(const Request& request, QString* message)
{
    const auto fail = [message](const QString& text) {
        if (message)
            *message = text;
        return Usage;
    };
    if (!ExportFormat::formatWithIdentifier(request.format))
        return fail(
            QStringLiteral("unknown export format \"%1\" (choose one of %2)")
                .arg(request.format, ExportFormat::identifiers().join(QStringLiteral(", "))));
    if (!request.outputFile.isEmpty() && !request.separateDir.isEmpty())
        return fail(QStringLiteral("-o and --separate cannot be used together"));
    if (request.format == QLatin1String("plist") && request.outputFile.isEmpty() &&
        request.separateDir.isEmpty())
        return fail(QStringLiteral("a binary property list is not written to standard output; "
                                   "give -o FILE or --separate DIR"));
    return Ok;
}

CommandLineExport::Status CommandLineExport::run(const Request& request,
                                                 const FileRecordList& records, QIODevice& out,
                                                 QStringList* messages)
{
    QString usage;
    if (validate(request, &usage) != Ok) {
        add(messages, usage);
        return Usage;
    }
    PerspixExporter exporter;
    exporter.setFormat(request.format);
    exporter.setSkipFilePrivate(request.noPrivate);
    exporter.setArrayWithData(records);

    if (!request.separateDir.isEmpty()) {
        const QFileInfo folder(request.separateDir);
        if (!folder.isDir()) {
            add(messages,
                QStringLiteral("cannot write into %1: no such folder").arg(request.separateDir));
            return Failed;
        }
        const auto report = exporter.writeSeparateFiles(request.separateDir);
        for (const auto& [path, reason] : report.failed)
            add(messages, QStringLiteral("cannot write %1: %2").arg(path, reason));
        return report.failed.isEmpty() ? Ok : Failed;
    }

    if (!request.outputFile.isEmpty()) {
        QString reason;
        if (exporter.writeCompoundFile(request.outputFile, &reason) != PerspixExporter::Written) {
            add(messages, QStringLiteral("cannot write %1: %2").arg(request.outputFile, reason));
            return Failed;
        }
        return Ok;
    }

    const std::optional<QByteArray> bytes = exporter.prepareExport(records);
    if (!bytes || out.write(*bytes) != bytes->size()) {
        add(messages, QStringLiteral("cannot write the export to standard output"));
        return Failed;
    }
    return Ok;
}

CommandLineExport::Status CommandLineExport::saveProject(const QString& projectPath,
                                                         const QStringList& paths,
                                                         QStringList* messages)
{
    const QStringList absolute = [&] {
        QStringList list;
        for (const QString& p : paths)
            list.append(QFileInfo(p).absoluteFilePath());
        return list;
    }();
    const auto project = PerspixProject::projectWithFilelist(absolute);
    QString error;
    if (paths.isEmpty() ||
        !project->saveToUrl(QUrl::fromLocalFile(QFileInfo(projectPath).absoluteFilePath()), false,
                            &error)) {
        add(messages,
            QStringLiteral("cannot save the project %1: %2")
                .arg(projectPath, paths.isEmpty() ? QStringLiteral("no files to list") : error));
        return Failed;
    }
    return Ok;
}

bool CommandLineExport::isProjectArgument(const QStringList& paths)
{
    return paths.size() == 1 &&
           QFileInfo(paths.first())
                   .suffix()
                   .compare(PerspixProject::kExtension, Qt::CaseInsensitive) == 0 &&
           !QFileInfo(paths.first()).isDir();
}

std::optional<QStringList> CommandLineExport::openProject(const QString& projectPath,
                                                          QStringList* messages)
{
    const auto project = PerspixProject::projectWithUrl(
        QUrl::fromLocalFile(QFileInfo(projectPath).absoluteFilePath()));
    const auto documents = project ? project->documents() : std::nullopt;
    if (!documents) {
        add(messages, QStringLiteral("cannot open the project %1").arg(projectPath));
        return std::nullopt;
    }
    QStringList paths;
    for (const QUrl& url : *documents)
        paths.append(url.toLocalFile());
    return paths;
}

} // namespace perspix
