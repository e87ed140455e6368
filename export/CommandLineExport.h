// The export and project work of the command-line front end, so that the front end only
// parses its options: writing every analysed file in one format to standard output, to
// one file or to one file per input, saving a list as a project and opening one.
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "export/ExportStream.h"
#include "model/FileRecord.h"

namespace perspix {

class CommandLineExport
{
public:
    // Exit statuses.
    enum Status { Ok = 0, Failed = 1, Usage = 2 };

    struct Request
    {
        QString format;      // txt, html, xml, json, jsonl, csv or plist
        QString outputFile;  // -o FILE: one compound file
        QString separateDir; // --separate DIR: one file per input
        bool noPrivate = false;
    };

    // Checks a request before any file is analysed: Ok, or Usage with a message.
    static Status validate(const Request& request, QString* message);

    // The writer for an export made while the files are analysed, aimed where the request
    // says (standard output is `out`); nothing for a format that needs every record
    // before its first byte, which run() then writes at the end. A target that cannot be
    // written is in the writer's messages.
    static std::unique_ptr<ExportStream> openStream(const Request& request, QIODevice* out);

    // Writes the records as the request says; standard output gets the compound bytes when
    // neither a file nor a folder is given. Every problem adds one message.
    static Status run(const Request& request, const FileRecordList& records, QIODevice& out,
                      QStringList* messages);

    // Saves the paths as a project file.
    static Status saveProject(const QString& projectPath, const QStringList& paths,
                              QStringList* messages);
    // True when the arguments are exactly one project file.
    static bool isProjectArgument(const QStringList& paths);
    // The documents of a project file as paths; nothing, with a message, when it cannot
    // be read.
    static std::optional<QStringList> openProject(const QString& projectPath,
                                                  QStringList* messages);
};

} // namespace perspix
