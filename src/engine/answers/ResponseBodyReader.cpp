#include "engine/answers/ResponseBodyReader.h"

#include "engine/devtools/IDevToolsSession.h"

#include <utility>

namespace {

// Bytes asked for by each read: a few round trips for a large document.
constexpr int ChunkBytes = 1024 * 1024;

} // namespace

ResponseBodyReader::ResponseBodyReader(IDevToolsSession &session, QObject *parent) : QObject(parent), m_session(session)
{}

void ResponseBodyReader::start(const QString &requestId, qint64 cap)
{
    stop();
    m_cap = cap;
    m_session.send(QStringLiteral("Fetch.takeResponseBodyAsStream"), {{QStringLiteral("requestId"), requestId}},
                   [this](const QJsonObject &result, const QString &error) {
                       m_handle = result.value(QStringLiteral("stream")).toString();
                       if (!error.isEmpty() || m_handle.isEmpty()) {
                           Q_EMIT failed(error.isEmpty() ? QStringLiteral("no stream") : error);
                           return;
                       }
                       read();
                   });
}

void ResponseBodyReader::read()
{
    m_session.send(QStringLiteral("IO.read"),
                   {{QStringLiteral("handle"), m_handle}, {QStringLiteral("size"), ChunkBytes}},
                   [this](const QJsonObject &result, const QString &error) {
                       if (!error.isEmpty()) {
                           stop();
                           Q_EMIT failed(error);
                           return;
                       }
                       // Chunks that are valid UTF-8 come as text, the others in base64.
                       const QString data = result.value(QStringLiteral("data")).toString();
                       m_body += result.value(QStringLiteral("base64Encoded")).toBool()
                           ? QByteArray::fromBase64(data.toLatin1())
                           : data.toUtf8();
                       if (m_body.size() > m_cap) {
                           stop();
                           Q_EMIT tooLarge();
                       } else if (result.value(QStringLiteral("eof")).toBool()) {
                           const QByteArray body = std::exchange(m_body, {});
                           stop();
                           Q_EMIT done(body);
                       } else {
                           read();
                       }
                   });
}

void ResponseBodyReader::stop()
{
    close(std::exchange(m_handle, {}));
    m_body.clear();
}

void ResponseBodyReader::close(const QString &handle)
{
    if (!handle.isEmpty())
        m_session.send(QStringLiteral("IO.close"), {{QStringLiteral("handle"), handle}});
}
