// The options of perspix-cli that write copies without metadata (--strip, --strip-location,
// --to) or extract attachments (--extract-attachments): parsing and usage lines. The run
// itself is MediaCopyRun.
#pragma once

#include <QString>

#include "privacy/PrivacyReport.h"
#include "readers/image/oEXIV2.h"

class QCommandLineParser;

namespace perspix::cli {

struct MediaCopyOptions
{
    enum class Mode { None, Strip, ExtractAttachments };
    Mode mode = Mode::None;
    oEXIV2Metadata parts; // Strip: the parts to remove (--strip-location: gps alone)
    QString folder;       // --to DIR, or the folder of --extract-attachments
    privacy::Strip privacy = privacy::Strip::None; // --strip privacy, --strip privacy-all
};

void addMediaCopyOptions(QCommandLineParser& parser);
// Reads the options after parsing; false with a message when they do not fit together.
bool readMediaCopyOptions(const QCommandLineParser& parser, MediaCopyOptions& options,
                          QString* error);
// The lines of these options for the usage text.
QString mediaCopyUsage();

} // namespace perspix::cli
