// Process-wide set-up of the core (see CoreSetup.h).
#include "batch/CoreSetup.h"

#include <QtGlobal>
#include <clocale>
#include <malloc.h>
#include <mutex>
#include <string_view>
#include <tiffio.h>

#include "model/Log.h"
#include "taglink/Taglink.h"

#include "readers/image/oEXIV2.h"

namespace perspix {

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Qt's image decoders report every oddity of a damaged file ("Corrupt JPEG data: ...") as
// messages of their own categories; those join the program's log, everything else of Qt's
// goes where it went before.
void routeQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const std::string_view category = context.category ? context.category : "";
    if (category.starts_with("qt.gui.imageio") || category.starts_with("kf.imageformats")) {
        logLine(QStringLiteral("%1: %2").arg(QLatin1String(category.data()), message));
        return;
    }
    if (g_qtHandler)
        g_qtHandler(type, context, message);
}

} // namespace

void setupCore()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The readers turn wide-character paths into bytes through the character-type
        // locale; "C" would make every non-ASCII path fail to open.
        std::setlocale(LC_CTYPE, "C.UTF-8");
        // The readers allocate and free large blocks for every file; with glibc's default
        // thresholds each becomes system calls and page faults.
        mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
        mallopt(M_TOP_PAD, 64 * 1024 * 1024);
        mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
        // Image libraries: global tables that are not safe to build from several threads.
        oEXIV2::setupLibrary();
        // Qt's TIFF decoder (camera raw files, TIFF images) goes through libtiff, whose
        // default handlers print every oddity of a maker's file on standard error. The
        // decoder reports a failed read to its caller, so the lines only add noise.
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
        g_qtHandler = qInstallMessageHandler(routeQtMessage);
        // Taglink's messages join the program's own log.
        taglink::setLogHandler([](std::string_view line) {
            logLine(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        });
    });
}

} // namespace perspix
