// The image branch of the analysis: files that the Exiv2 adapter or the HEIF reader
// recognise as images.
#include "model/PerspixData.h"

namespace perspix {

bool PerspixData::runImageBranch(std::optional<GeneralRecord>&, std::optional<PreparedData>&)
{
    return false;
}

} // namespace perspix
