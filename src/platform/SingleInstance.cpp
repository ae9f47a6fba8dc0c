#include "platform/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {

const QByteArray ShowRequest = "show\n";
constexpr int AnswerMs = 2000;

} // namespace

SingleInstance::SingleInstance(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::nameForUser()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QStringLiteral("textorin-%1").arg(::getuid())
                             : QDir(runtime).filePath(QStringLiteral("textorin.socket"));
}

bool SingleInstance::askRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_name, QIODevice::WriteOnly);
    if (!socket.waitForConnected(AnswerMs))
        return false;
    socket.write(ShowRequest);
    socket.waitForBytesWritten(AnswerMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim()
{
    if (askRunning())
        return false;
    // Nobody answers: whatever holds the name is left by an instance that ended.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequests);
    return true;
}

void SingleInstance::readRequests()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto answer = [this, socket] {
            while (socket->canReadLine()) {
                socket->readLine();
                Q_EMIT showRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        answer();
    }
}
