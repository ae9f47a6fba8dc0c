#include "capture/EngineOptionText.h"
#include "fakes/LiveEngine.h"
#include "fakes/LocalHttpServer.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The options of a run; the pages here have their text at the load event.
EngineOptions quick(EngineOptions options)
{
    options.settleMs = 0;
    return options;
}

BrowserCookie cookie(const QString &domain, const QString &name, const QString &value, qint64 expires = 0)
{
    BrowserCookie result;
    result.domain = domain;
    result.name = name;
    result.value = value;
    result.expires = expires;
    return result;
}

// An HTTPS server on 127.0.0.1 with a certificate of its own CA, both made by openssl.
class LocalHttpsServer
{
public:
    bool start(const QString &folder)
    {
        const auto openssl = [&folder](const QString &arguments) {
            QProcess process;
            process.setWorkingDirectory(folder);
            process.setStandardErrorFile(QProcess::nullDevice());
            process.start(QStringLiteral("openssl"), arguments.split(QLatin1Char(' ')));
            return process.waitForFinished() && process.exitCode() == 0;
        };
        QFile extensions(folder + QStringLiteral("/server.ext"));
        if (!extensions.open(QIODevice::WriteOnly) || extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
            return false;
        extensions.close();
        if (!openssl(QStringLiteral("req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
                                    "-subj /CN=TestCA -addext basicConstraints=critical,CA:TRUE"))
            || !openssl(QStringLiteral("req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
                                       "-subj /CN=127.0.0.1"))
            || !openssl(QStringLiteral("x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
                                       "-out server.pem -days 2 -extfile server.ext")))
            return false;
        QFile certificate(folder + QStringLiteral("/server.pem"));
        QFile key(folder + QStringLiteral("/server.key"));
        if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(certificate.readAll()));
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        m_server.setSslConfiguration(configuration);
        QObject::connect(&m_server, &QTcpServer::pendingConnectionAvailable, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    const QByteArray body = "<p>secure page</p>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                                  "Content-Length: "
                                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    QString url() const { return QStringLiteral("https://127.0.0.1:%1/").arg(m_server.serverPort()); }

private:
    QSslServer m_server;
};

} // namespace

class TestPageIdentity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cookiesGoInAndWhatRowsSetComesOut();
    void pagesSayWhatADesktopBrowserSays_data();
    void pagesSayWhatADesktopBrowserSays();
    void rowsGoThroughTheProxyUnlessNoProxyNamesThem_data();
    void rowsGoThroughTheProxyUnlessNoProxyNamesThem();
    void certificateErrorsFailRowsUnlessTrustedOrIgnored_data();
    void certificateErrorsFailRowsUnlessTrustedOrIgnored();

private:
    LocalHttpServer m_server;
    QTemporaryDir m_tlsFolder;
    LocalHttpsServer m_tlsServer;
    bool m_tlsStarted = false;
};

void TestPageIdentity::initTestCase()
{
    QVERIFY(m_server.listen());
    // Without a language of its own, the engine speaks LANG's.
    qputenv("LANG", "de_DE.UTF-8");
    LocalHttpServer::Reply members;
    members.headers = "Set-Cookie: served=1; Path=/; HttpOnly\r\n";
    members.body = "<!DOCTYPE html><body><p id=t></p><script>"
                   "const has = name => document.cookie.split('; ').some(c => c.startsWith(name + '='));"
                   "t.textContent = (has('member') ? 'welcome member' : 'please log in')"
                   " + (has('visit') ? ' again' : '');"
                   "document.cookie = 'visit=' + location.search.slice(1) + '; max-age=3600';"
                   "document.cookie = 'stale=; max-age=0';</script></body>";
    m_server.route("/members?1", members);
    m_server.route("/members?2", members);
    // A worker's languages come back while an image holds the load event.
    LocalHttpServer::Reply held;
    held.delayMs = 1500;
    held.contentType = "image/gif";
    m_server.route("/held.gif", held);
    m_server.page("/whoami",
                  "<!DOCTYPE html><body><img src=/held.gif><script>"
                  "const hints = navigator.userAgentData;"
                  "new Worker(URL.createObjectURL(new Blob(['postMessage(navigator.languages.join())'])))"
                  ".onmessage = event => document.body.textContent = JSON.stringify({ua: navigator.userAgent,"
                  " languages: navigator.languages.join(), worker: event.data,"
                  " brands: hints ? hints.brands.map(b => `\"${b.brand}\";v=\"${b.version}\"`).join(', ') : ''});"
                  "</script></body>");
    m_server.page("/direct", "<p>not through the proxy</p>");
    m_tlsStarted = m_tlsServer.start(m_tlsFolder.path());
}

void TestPageIdentity::cookiesGoInAndWhatRowsSetComesOut()
{
    EngineOptions options;
    options.cookies = {cookie(QStringLiteral("127.0.0.1"), QStringLiteral("member"), QStringLiteral("yes")),
                       cookie(QStringLiteral("127.0.0.1"), QStringLiteral("stale"), QStringLiteral("1"), 4'000'000'000),
                       cookie(QStringLiteral(".example.org"), QStringLiteral("kept"), QStringLiteral("1"))};
    LiveEngine engine(quick(options));
    // Each row starts from the cookies given, not from what the row before set.
    QCOMPARE(engine.load(m_server.url("/members?1")).content, QStringLiteral("welcome member"));
    QCOMPARE(engine.load(m_server.url("/members?2")).content, QStringLiteral("welcome member"));
    QVERIFY(m_server.lastHeaders("/members?2").value("cookie").contains("member=yes"));

    QHash<QString, BrowserCookie> jar;
    for (const BrowserCookie &kept : engine.browser.cookies())
        jar.insert(kept.name, kept);
    QCOMPARE(jar.size(), 4);
    QVERIFY(jar.value(QStringLiteral("member")) == options.cookies.at(0));
    QVERIFY(jar.value(QStringLiteral("kept")) == options.cookies.at(2));
    QVERIFY(!jar.contains(QStringLiteral("stale")));
    const BrowserCookie visit = jar.value(QStringLiteral("visit"));
    QCOMPARE(visit.value, QStringLiteral("2"));
    QCOMPARE(visit.domain, QStringLiteral("127.0.0.1"));
    QVERIFY(visit.expires > QDateTime::currentSecsSinceEpoch() + 3000);
    const BrowserCookie served = jar.value(QStringLiteral("served"));
    QVERIFY(served.httpOnly);
    QCOMPARE(served.expires, 0);

    // Rows do not go without the cookies they were given.
    options.cookies.append(cookie(QStringLiteral("127.0.0.1"), QStringLiteral("a=b"), QStringLiteral("1")));
    LiveEngine refusing(quick(options));
    const PageOutcome refused = refusing.load(m_server.url("/members?1"));
    QVERIFY2(refused.failure.contains(QStringLiteral("cookies could not be set")), qPrintable(refused.failure));
}

void TestPageIdentity::pagesSayWhatADesktopBrowserSays_data()
{
    QTest::addColumn<QString>("userAgent");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("acceptLanguage");
    QTest::addColumn<QString>("languages");
    QTest::newRow("the engine's own, LANG's language")
        << QString() << QString() << QByteArray("de-DE,de;q=0.9") << "de-DE,de";
    QTest::newRow("chosen") << "TestAgent/1.0"
                            << "fr-CH" << QByteArray("fr-CH,fr;q=0.9") << "fr-CH,fr";
}

void TestPageIdentity::pagesSayWhatADesktopBrowserSays()
{
    QFETCH(QString, userAgent);
    QFETCH(QString, language);
    EngineOptions options;
    options.userAgent = userAgent;
    options.language = language;
    LiveEngine engine(quick(options));
    const PageOutcome outcome = engine.load(m_server.url("/whoami"));
    QVERIFY2(!outcome.failed(), qPrintable(outcome.failure));
    const QJsonObject page = QJsonDocument::fromJson(outcome.content.toUtf8()).object();
    const QHash<QByteArray, QByteArray> headers = m_server.lastHeaders("/whoami");

    QFETCH(QByteArray, acceptLanguage);
    QFETCH(QString, languages);
    const QByteArray agent = headers.value("user-agent");
    QCOMPARE(agent, page.value(QStringLiteral("ua")).toString().toUtf8());
    QCOMPARE(headers.value("accept-language"), acceptLanguage);
    QCOMPARE(page.value(QStringLiteral("languages")).toString(), languages);
    QCOMPARE(page.value(QStringLiteral("worker")).toString(), languages);
    // The client hints in the headers and in the page agree.
    QCOMPARE(headers.value("sec-ch-ua"), page.value(QStringLiteral("brands")).toString().toUtf8());
    if (!userAgent.isEmpty()) {
        QCOMPARE(agent, userAgent.toUtf8());
        return;
    }
    const qsizetype chrome = agent.indexOf("Chrome/");
    QVERIFY2(chrome > 0 && !agent.contains("Headless"), agent.constData());
    const QByteArray major = agent.mid(chrome + 7).split('.').first();
    QVERIFY2(headers.value("sec-ch-ua").contains("\"Chromium\";v=\"" + major + "\""), headers.value("sec-ch-ua"));
    QCOMPARE(headers.value("sec-ch-ua-platform"), QByteArray("\"Linux\""));
}

void TestPageIdentity::rowsGoThroughTheProxyUnlessNoProxyNamesThem_data()
{
    QTest::addColumn<QString>("noProxy"); // PORT stands for the page server's port
    QTest::addColumn<QString>("host"); // of the row
    QTest::addColumn<bool>("direct");
    QTest::newRow("no no_proxy") << QString() << "127.0.0.1" << false;
    QTest::newRow("its address") << "127.0.0.1"
                                 << "127.0.0.1" << true;
    QTest::newRow("its name, blank-separated") << "example.com  localhost"
                                               << "localhost" << true;
    QTest::newRow("its range") << "10.0.0.0/8,127.0.0.0/8"
                               << "127.0.0.1" << true;
    QTest::newRow("its address and port") << "127.0.0.1:PORT"
                                          << "127.0.0.1" << true;
    QTest::newRow("another port") << "127.0.0.1:1"
                                  << "127.0.0.1" << false;
    QTest::newRow("another host") << ".example.com"
                                  << "127.0.0.1" << false;
}

void TestPageIdentity::rowsGoThroughTheProxyUnlessNoProxyNamesThem()
{
    QFETCH(QString, noProxy);
    QFETCH(QString, host);
    QFETCH(bool, direct);
    // A proxy is asked for the absolute address: a server with a route of that name answers.
    LocalHttpServer proxy;
    QVERIFY(proxy.listen());
    const QString url = QStringLiteral("http://%1:%2/direct").arg(host).arg(m_server.port());
    proxy.page(url, "<html><body><p>via proxy</p></body></html>");
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("http_proxy"), QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
    environment.insert(QStringLiteral("no_proxy"),
                       noProxy.replace(QLatin1String("PORT"), QString::number(m_server.port())));
    EngineOptions options;
    QCOMPARE(EngineOptionText::readProxyEnvironment(environment, options), QString());
    const int before = m_server.hits(QStringLiteral("/direct"));
    LiveEngine engine(quick(options));
    const PageOutcome outcome = engine.load(url);
    QCOMPARE(outcome.content, direct ? QStringLiteral("not through the proxy") : QStringLiteral("via proxy"));
    QCOMPARE(m_server.hits(QStringLiteral("/direct")) > before, direct);
    QCOMPARE(proxy.hits(url) > 0, !direct);
}

void TestPageIdentity::certificateErrorsFailRowsUnlessTrustedOrIgnored_data()
{
    QTest::addColumn<bool>("check");
    QTest::addColumn<QString>("caFile"); // in the server's folder
    QTest::addColumn<QString>("failure"); // part of it; empty: the page loads
    QTest::newRow("unknown CA") << true << QString() << "net::ERR_CERT_AUTHORITY_INVALID";
    QTest::newRow("ignored") << false << QString() << QString();
    QTest::newRow("CA trusted") << true << "ca.pem" << QString();
    QTest::newRow("no certificate in the CA file") << true << "server.key"
                                                   << "server.key cannot be used";
}

void TestPageIdentity::certificateErrorsFailRowsUnlessTrustedOrIgnored()
{
    QFETCH(bool, check);
    QFETCH(QString, caFile);
    QFETCH(QString, failure);
    if (!m_tlsStarted)
        QSKIP("openssl could not make the test certificates");
    EngineOptions options;
    options.checkCertificates = check;
    if (!caFile.isEmpty())
        options.caCertificateFile = m_tlsFolder.filePath(caFile);
    // The engine keeps its certificate database and all else in its profile, none in the user's home.
    QTemporaryDir home;
    const QByteArray userHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    {
        LiveEngine engine(quick(options));
        const PageOutcome outcome = engine.load(m_tlsServer.url());
        if (failure.isEmpty())
            QCOMPARE(outcome.content, QStringLiteral("secure page"));
        else
            QVERIFY2(outcome.failure.contains(failure), qPrintable(outcome.failure));
    }
    qputenv("HOME", userHome);
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestPageIdentity)
#include "tst_PageIdentity.moc"
