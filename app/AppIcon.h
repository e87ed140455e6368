// The program's icon, drawn in code (the desktop gets the same picture as an SVG file).
#pragma once

#include <QIcon>

namespace perspix {

QIcon appIcon();

} // namespace perspix
