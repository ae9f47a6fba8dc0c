#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class IEngineProcess;

// The DevTools protocol over the engine's pipe: commands with numbered replies,
// and events. Messages are JSON texts, each ended by a NUL byte.
class DevToolsConnection : public QObject
{
    Q_OBJECT

public:
    // `error` is empty on success.
    using Reply = std::function<void(const QJsonObject &result, const QString &error)>;

    explicit DevToolsConnection(IEngineProcess &process, QObject *parent = nullptr);

    int send(const QString &method, const QJsonObject &params = {}, const QString &sessionId = {}, Reply reply = {});
    // Forgets every pending reply and any partial message (the engine restarted).
    void reset();
    int pendingReplies() const { return int(m_replies.size()); }

    // Feeds bytes read from the engine (normally through the process's signal).
    void receive(const QByteArray &bytes);

Q_SIGNALS:
    void event(const QString &method, const QJsonObject &params, const QString &sessionId);

private:
    void dispatch(const QByteArray &message);

    IEngineProcess &m_process;
    QByteArray m_buffer;
    QHash<int, Reply> m_replies;
    int m_nextId = 1;
    quint64 m_epoch = 0;
};
