#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class IDevToolsSession;

// Reads the body of a response paused at its head through a stream
// (Fetch.takeResponseBodyAsStream, then IO.read to its end), up to a cap; the
// stream is closed however the read ends. The request itself is left paused.
// A read is stopped only as its row ends: the session drops the replies that follow.
class ResponseBodyReader : public QObject
{
    Q_OBJECT

public:
    explicit ResponseBodyReader(IDevToolsSession &session, QObject *parent = nullptr);

    void start(const QString &requestId, qint64 cap);
    // Ends a read still going on, without a signal.
    void stop();

Q_SIGNALS:
    void done(const QByteArray &body);
    void tooLarge();
    void failed(const QString &error);

private:
    void read();
    void close(const QString &handle);

    IDevToolsSession &m_session;
    QString m_handle;
    QByteArray m_body;
    qint64 m_cap = 0;
};
