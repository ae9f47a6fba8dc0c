#include "fakes/LocalHttpProxy.h"

#include <QTcpSocket>

LocalHttpProxy::LocalHttpProxy(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_pending.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

bool LocalHttpProxy::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString LocalHttpProxy::rules() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QString LocalHttpProxy::answerText(const QString &url)
{
    return QStringLiteral("via proxy: ") + url;
}

void LocalHttpProxy::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    // "GET http://host:port/path HTTP/1.1"
    const QList<QByteArray> request = buffer.left(buffer.indexOf("\r\n")).split(' ');
    buffer.remove(0, headEnd + 4);
    const QString url = request.size() > 1 ? QString::fromLatin1(request.at(1)) : QString();
    m_served.append(url);
    const QByteArray body = "<!DOCTYPE html><html><body><p>" + answerText(url).toHtmlEscaped().toUtf8()
        + "</p></body></html>";
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
