// Single-instance hand-over over a local socket (see SingleInstance.h).
#include "app/platform/SingleInstance.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <unistd.h>

#include "model/Log.h"

namespace perspix {

namespace {
const QString kPaths = QStringLiteral("paths");
const QString kQuickInfo = QStringLiteral("quickInfo");
// A request is one JSON line; anything longer than this is not from a perspix.
constexpr qint64 kMaxMessage = 64 * 1024 * 1024;
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), m_name(name)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    return QStringLiteral("perspix-%1").arg(::getuid());
}

QByteArray SingleInstance::encode(const QStringList& paths, bool quickInfo)
{
    QJsonObject object;
    object.insert(kPaths, QJsonArray::fromStringList(paths));
    object.insert(kQuickInfo, quickInfo);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool SingleInstance::decode(const QByteArray& message, QStringList& paths, bool& quickInfo)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(message.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject object = doc.object();
    if (!object.value(kPaths).isArray())
        return false;
    paths.clear();
    for (const QJsonValue& value : object.value(kPaths).toArray()) {
        if (!value.isString())
            return false;
        paths.append(value.toString());
    }
    quickInfo = object.value(kQuickInfo).toBool();
    return true;
}

bool SingleInstance::sendToRunning(const QStringList& paths, bool quickInfo, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(paths, quickInfo));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance closes the connection once it has read the request.
    socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered on the name (the caller tried first): the socket file is left over.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            logLine(QStringLiteral("Failed to listen for other launches: %1")
                        .arg(m_server->errorString()));
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readConnection);
    return true;
}

void SingleInstance::readConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guard(socket);
        const auto handle = [this, guard] {
            if (!guard)
                return;
            if (guard->bytesAvailable() > kMaxMessage) {
                guard->abort();
                return;
            }
            if (!guard->canReadLine())
                return;
            const QByteArray line = guard->readLine();
            QStringList paths;
            bool quickInfo = false;
            if (decode(line, paths, quickInfo))
                emit filesReceived(paths, quickInfo);
            else
                logLine(QStringLiteral("Ignored a malformed request from another launch"));
            guard->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        handle();
    }
}

} // namespace perspix
