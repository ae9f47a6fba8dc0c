#include "engine/ResponseBodyReader.h"

#include "engine/IDevToolsSession.h"

#include <utility>

namespace {

// Bytes asked for by each read: a few round trips for a large document.
constexpr int ChunkBytes = 1024 * 1024;

} // namespace

ResponseBodyReader::ResponseBodyReader(IDevToolsSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
}

void ResponseBodyReader::start(const QString &requestId, qint64 cap)
{
    stop();
    m_cap = cap;
    const quint64 generation = m_generation;
    m_session.send(QStringLiteral("Fetch.takeResponseBodyAsStream"), {{QStringLiteral("requestId"), requestId}},
                   [this, generation](const QJsonObject &result, const QString &error) {
                       const QString handle = result.value(QStringLiteral("stream")).toString();
                       if (generation != m_generation) {
                           close(handle); // stopped before the stream came
                           return;
                       }
                       m_handle = handle;
                       if (!error.isEmpty() || m_handle.isEmpty()) {
                           ++m_generation;
                           Q_EMIT failed(error.isEmpty() ? QStringLiteral("no stream") : error);
                           return;
                       }
                       read(generation);
                   });
}

void ResponseBodyReader::read(quint64 generation)
{
    m_session.send(QStringLiteral("IO.read"), {{QStringLiteral("handle"), m_handle}, {QStringLiteral("size"), ChunkBytes}},
                   [this, generation](const QJsonObject &result, const QString &error) {
                       if (generation != m_generation)
                           return;
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
                           read(generation);
                       }
                   });
}

void ResponseBodyReader::stop()
{
    ++m_generation;
    close(std::exchange(m_handle, {}));
    m_body.clear();
}

void ResponseBodyReader::close(const QString &handle)
{
    if (!handle.isEmpty())
        m_session.send(QStringLiteral("IO.close"), {{QStringLiteral("handle"), handle}});
}
