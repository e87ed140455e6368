// Shows a file selected in its folder: the desktop's file manager through its D-Bus
// interface, else the folder opened with the desktop's default handler.
#pragma once

#include <QString>

namespace perspix {

// True when the file manager or the folder handler took the request.
bool revealInFileManager(const QString& path);

} // namespace perspix
