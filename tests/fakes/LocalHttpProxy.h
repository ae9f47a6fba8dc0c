#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP proxy on 127.0.0.1 for tests: it answers each absolute-URI
// request itself, with a page naming the address, and keeps the addresses.
class LocalHttpProxy : public QObject
{
    Q_OBJECT

public:
    explicit LocalHttpProxy(QObject *parent = nullptr);

    bool listen();
    // The proxy rule that sends requests here.
    QString rules() const;
    // The addresses it was asked for, in order.
    const QStringList &served() const { return m_served; }
    // The text of the page it answers `url` with.
    static QString answerText(const QString &url);

private:
    void onReadyRead(QTcpSocket *socket);

    QTcpServer m_server;
    QStringList m_served;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
