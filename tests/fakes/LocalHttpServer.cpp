#include "fakes/LocalHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

// The request names the reply's validators: If-None-Match, else If-Modified-Since.
bool isUnchanged(const LocalHttpServer::Reply &reply, const QHash<QByteArray, QByteArray> &headers)
{
    if (headers.contains("if-none-match"))
        return !reply.etag.isEmpty() && headers.value("if-none-match") == reply.etag;
    return !reply.lastModified.isEmpty() && headers.value("if-modified-since") == reply.lastModified;
}

} // namespace

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    m_server.close();
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 LocalHttpServer::port() const
{
    return m_server.serverPort();
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LocalHttpServer::route(const QString &path, const Reply &reply)
{
    m_routes.insert(path, reply);
}

void LocalHttpServer::page(const QString &path, const QByteArray &html)
{
    Reply reply;
    reply.body = html;
    route(path, reply);
}

LocalHttpServer::Reply LocalHttpServer::missing()
{
    Reply reply;
    reply.status = 404;
    reply.body = "<html><body>missing</body></html>";
    return reply;
}

void LocalHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    buffer.remove(0, headEnd + 4);
    const QList<QByteArray> parts = lines.takeFirst().trimmed().split(' ');
    const QString path = parts.size() > 1 ? QString::fromLatin1(parts.at(1)) : QString();
    ++m_hits[path];
    QHash<QByteArray, QByteArray> &headers = m_headers[path];
    headers.clear();
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        headers.insert(name, line.mid(colon + 1).trimmed());
        ++m_headerHits[path][name];
    }
    const Reply reply = m_routes.value(path, missing());
    if (reply.silent)
        return;
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, socket, [this, socket, path] { answer(socket, path); });
    else
        answer(socket, path);
}

void LocalHttpServer::answer(QTcpSocket *socket, const QString &path)
{
    Reply reply = m_routes.value(path, missing());
    if (m_hits.value(path) <= reply.failFirst) {
        reply.status = 503;
        reply.headers += "Retry-After: 1\r\n";
    }
    if (!reply.authorization.isEmpty() && m_headers.value(path).value("authorization") != reply.authorization) {
        reply.status = 401;
        reply.headers += "WWW-Authenticate: Basic realm=\"test\"\r\n";
        reply.body = "<html><body>who are you</body></html>";
    }
    if (reply.status == 200 && isUnchanged(reply, m_headers.value(path))) {
        ++m_notModified[path];
        QByteArray head = "HTTP/1.1 304 Not Modified\r\n";
        if (!reply.etag.isEmpty())
            head += "ETag: " + reply.etag + "\r\n";
        socket->write(head + reply.headers + "Connection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (reply.status == 200 && !reply.etag.isEmpty())
        reply.headers += "ETag: " + reply.etag + "\r\n";
    if (reply.status == 200 && !reply.lastModified.isEmpty())
        reply.headers += "Last-Modified: " + reply.lastModified + "\r\n";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    if (!reply.location.isEmpty())
        head += "Location: " + reply.location + "\r\n";
    head += reply.headers;
    if (reply.neverFinish) {
        head += "Content-Length: " + QByteArray::number(reply.body.size() + 100000) + "\r\n\r\n";
        socket->write(head + reply.body);
        return;
    }
    if (!reply.noLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + reply.body);
    socket->disconnectFromHost();
}
