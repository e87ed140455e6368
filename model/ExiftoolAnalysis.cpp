// The ExifTool branch of the analysis: non-image files read through Taglink.
#include "model/Log.h"
#include "model/PerspixData.h"

namespace perspix {

bool PerspixData::runExiftoolBranch(std::optional<GeneralRecord>&, std::optional<PreparedData>&)
{
    logLine(QStringLiteral("Failed to parse with exiftool: %1").arg(filename));
    return false;
}

} // namespace perspix
