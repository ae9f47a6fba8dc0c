#include "engine/IEngineProcess.h"
#include "engine/devtools/DevToolsConnection.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

// An engine that records what is written to it.
class RecordingProcess : public IEngineProcess
{
public:
    bool start(const QString &, const QStringList &, const QStringList &, QString *) override { return true; }
    bool isRunning() const override { return true; }
    void write(const QByteArray &bytes) override { written += bytes; }
    void stop() override {}
    void setRendererMemoryCap(qint64) override {}
    QByteArray written;
};

} // namespace

class TestDevToolsConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsAreNulEnded();
    void messagesSplitAnyWayArriveWhole();
    void aResetDropsWhatTheOldEngineStillSends();
};

void TestDevToolsConnection::commandsAreNulEnded()
{
    RecordingProcess process;
    DevToolsConnection connection(process);
    connection.send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), QStringLiteral("about:blank")}},
                    QStringLiteral("S"));
    QVERIFY(process.written.endsWith('\0'));
    const QJsonObject sent = QJsonDocument::fromJson(process.written.chopped(1)).object();
    QCOMPARE(sent.value(QStringLiteral("method")).toString(), QStringLiteral("Page.navigate"));
    QCOMPARE(sent.value(QStringLiteral("sessionId")).toString(), QStringLiteral("S"));
}

void TestDevToolsConnection::messagesSplitAnyWayArriveWhole()
{
    RecordingProcess process;
    DevToolsConnection connection(process);
    QStringList seen;
    connect(&connection, &DevToolsConnection::event, this,
            [&](const QString &method, const QJsonObject &, const QString &session) {
                seen << method + QLatin1Char('@') + session;
            });
    const int first =
        connection.send(QStringLiteral("A"), {}, {}, [&](const QJsonObject &result, const QString &error) {
            seen << QStringLiteral("reply ") + result.value(QStringLiteral("v")).toString() + error;
        });
    const int second = connection.send(QStringLiteral("B"), {}, {}, [&](const QJsonObject &, const QString &error) {
        seen << QStringLiteral("error ") + error;
    });
    const QByteArray end(1, '\0');
    const QByteArray stream = "{\"method\":\"E.one\",\"params\":{},\"sessionId\":\"S\"}" + end
        + "{\"id\":" + QByteArray::number(second) + ",\"error\":{\"message\":\"no\"}}" + end
        + "{\"id\":" + QByteArray::number(first) + ",\"result\":{\"v\":\"ä\"}}" + end;
    for (qsizetype i = 0; i < stream.size(); i += 7)
        emit process.bytesReceived(stream.mid(i, 7));
    QCOMPARE(seen, (QStringList{QStringLiteral("E.one@S"), QStringLiteral("error no"), QStringLiteral("reply ä")}));
    QCOMPARE(connection.pendingReplies(), 0);
}

void TestDevToolsConnection::aResetDropsWhatTheOldEngineStillSends()
{
    RecordingProcess process;
    DevToolsConnection connection(process);
    int replies = 0;
    const int id = connection.send(QStringLiteral("A"), {}, {}, [&](const QJsonObject &, const QString &) {
        ++replies;
        connection.reset();
    });
    const int other =
        connection.send(QStringLiteral("B"), {}, {}, [&](const QJsonObject &, const QString &) { ++replies; });
    const QByteArray end(1, '\0');
    emit process.bytesReceived("{\"id\":" + QByteArray::number(id) + ",\"result\":{}}" + end
                               + "{\"id\":" + QByteArray::number(other) + ",\"result\":{}}" + end + "{\"partial");
    QCOMPARE(replies, 1);
    QCOMPARE(connection.pendingReplies(), 0);
}

QTEST_GUILESS_MAIN(TestDevToolsConnection)
#include "tst_DevToolsConnection.moc"
