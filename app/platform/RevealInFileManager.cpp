// Revealing a file in the file manager (see RevealInFileManager.h).
#include "app/platform/RevealInFileManager.h"
#include "model/NativePath.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace perspix {

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
} // namespace

bool revealInFileManager(const QString& path)
{
    if (path.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() &&
        (bus.interface()->isServiceRegistered(kService).value() ||
         bus.interface()->activatableServiceNames().value().contains(kService))) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ShowItems"));
        call << QStringList{NativePath::url(path).toString(QUrl::FullyEncoded)} << QString();
        // Not waited for: a file manager that starts slowly must not hold the window.
        if (bus.send(call))
            return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace perspix
