#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One window per user: the first start listens on a local socket, a later
// start asks it to show its window and ends. A socket left by an instance
// that crashed is removed.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `name`: the socket's name (a path, or a name in the temporary folder).
    explicit SingleInstance(QString name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first instance (listening from now on, or unable
    // to and going on alone); false when a running one was asked to show itself.
    bool claim();

    // The user's socket: in the runtime folder, which only the user may enter.
    static QString nameForUser();

Q_SIGNALS:
    // A later start asked for the window.
    void showRequested();

private:
    bool askRunning();
    void readRequests();

    QString m_name;
    QLocalServer *m_server = nullptr;
};
