#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP server on 127.0.0.1 for tests: fixed answers per path.
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Reply {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QByteArray location; // for redirects
        bool neverFinish = false; // sends the head and part of the body, then stalls
        bool silent = false; // takes the request and never answers
        int delayMs = 0;
        QByteArray headers; // further header lines, each ending in CRLF
        int failFirst = 0; // the first hits answer 503 with "Retry-After: 1"
        QByteArray authorization; // when set, requests without this Authorization get 401 and a Basic challenge
        bool noLength = false; // no Content-Length: the body ends with the connection
        // Sent as ETag and Last-Modified with a 200; a request that names them
        // (If-None-Match, else If-Modified-Since) gets 304 Not Modified.
        QByteArray etag{};
        QByteArray lastModified{};
    };

    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    bool listen();
    quint16 port() const;
    QString url(const QString &path) const;
    void route(const QString &path, const Reply &reply);
    void page(const QString &path, const QByteArray &html);
    int hits(const QString &path) const { return m_hits.value(path); }
    // How many requests for the path were answered 304 Not Modified.
    int notModified(const QString &path) const { return m_notModified.value(path); }
    // The head lines of the last request for the path (lower-case name, value).
    QHash<QByteArray, QByteArray> lastHeaders(const QString &path) const { return m_headers.value(path); }
    // How many requests for the path carried the header (lower-case name).
    int hitsWith(const QString &path, const QByteArray &header) const { return m_headerHits.value(path).value(header); }

private:
    static Reply missing();
    void onConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &path);

    QTcpServer m_server;
    QHash<QString, Reply> m_routes;
    QHash<QString, int> m_hits;
    QHash<QString, int> m_notModified;
    QHash<QString, QHash<QByteArray, QByteArray>> m_headers;
    QHash<QString, QHash<QByteArray, int>> m_headerHits;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
