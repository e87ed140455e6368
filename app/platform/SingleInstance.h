// Single-instance hand-over: the first perspix of a user listens on a local socket; a later
// "perspix FILE..." passes its paths (and whether quick info was asked for) to it and ends.
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace perspix {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The socket name is per user; tests pass their own.
    explicit SingleInstance(const QString& name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();

    // Hands the request to a running instance; true when one took it.
    bool sendToRunning(const QStringList& paths, bool quickInfo, int timeoutMs = 3000) const;
    // Starts listening (replacing a socket left behind by a crashed instance).
    bool listen();

    // The wire form of one request, and its reading; nothing for a malformed message.
    static QByteArray encode(const QStringList& paths, bool quickInfo);
    static bool decode(const QByteArray& message, QStringList& paths, bool& quickInfo);

signals:
    void filesReceived(const QStringList& paths, bool quickInfo);

private:
    void readConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace perspix
