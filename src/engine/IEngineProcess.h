#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

// The browser engine's process and its DevTools pipe.
class IEngineProcess : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts the program with its pipe on descriptors 3 and 4 and the extra
    // NAME=VALUE environment entries; false with a reason when it cannot start.
    virtual bool start(const QString &program, const QStringList &arguments, const QStringList &environment,
                       QString *error) = 0;
    virtual bool isRunning() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    // Ends the engine and every process it started, and waits for them.
    virtual void stop() = 0;
    // Kills a renderer whose memory passes `bytes` (0: no cap), reporting it
    // with rendererKilled.
    virtual void setRendererMemoryCap(qint64 bytes) = 0;
    // How many rows load in the engine now (the browser tells each change): the
    // cap is watched only while some do, so that an idle engine costs nothing.
    virtual void setRowsLoading(int rows) { Q_UNUSED(rows) }

Q_SIGNALS:
    void bytesReceived(const QByteArray &bytes);
    // The engine ended without being asked to.
    void ended(const QString &reason);
    // A renderer was killed for passing the memory cap; its page crashes next.
    void rendererKilled(qint64 pid, qint64 pssBytes);
};
