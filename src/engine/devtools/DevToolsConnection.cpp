#include "engine/devtools/DevToolsConnection.h"

#include "engine/IEngineProcess.h"

#include <QJsonDocument>

DevToolsConnection::DevToolsConnection(IEngineProcess &process, QObject *parent) : QObject(parent), m_process(process)
{
    connect(&process, &IEngineProcess::bytesReceived, this, &DevToolsConnection::receive);
}

int DevToolsConnection::send(const QString &method, const QJsonObject &params, const QString &sessionId, Reply reply)
{
    const int id = m_nextId++;
    QJsonObject message{
        {QStringLiteral("id"), id}, {QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
    if (!sessionId.isEmpty())
        message.insert(QStringLiteral("sessionId"), sessionId);
    if (reply)
        m_replies.insert(id, std::move(reply));
    m_process.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0');
    return id;
}

void DevToolsConnection::reset()
{
    m_replies.clear();
    m_buffer.clear();
    ++m_epoch;
}

void DevToolsConnection::receive(const QByteArray &bytes)
{
    const qsizetype scanFrom = m_buffer.size();
    m_buffer.append(bytes);
    QList<QByteArray> messages;
    qsizetype start = 0;
    for (qsizetype end = m_buffer.indexOf('\0', scanFrom); end >= 0; end = m_buffer.indexOf('\0', start)) {
        messages.append(m_buffer.mid(start, end - start));
        start = end + 1;
    }
    m_buffer.remove(0, start);
    const quint64 epoch = m_epoch;
    for (const QByteArray &message : messages) {
        if (epoch != m_epoch)
            return; // a handler reset the connection: the rest is from the old engine
        dispatch(message);
    }
}

void DevToolsConnection::dispatch(const QByteArray &message)
{
    const QJsonObject object = QJsonDocument::fromJson(message).object();
    const auto id = object.value(QStringLiteral("id"));
    if (id.isDouble()) {
        const Reply reply = m_replies.take(id.toInt());
        if (!reply)
            return;
        const QJsonObject error = object.value(QStringLiteral("error")).toObject();
        reply(object.value(QStringLiteral("result")).toObject(),
              error.isEmpty() ? QString() : error.value(QStringLiteral("message")).toString(QStringLiteral("error")));
        return;
    }
    const QString method = object.value(QStringLiteral("method")).toString();
    if (!method.isEmpty())
        Q_EMIT event(method, object.value(QStringLiteral("params")).toObject(),
                     object.value(QStringLiteral("sessionId")).toString());
}
