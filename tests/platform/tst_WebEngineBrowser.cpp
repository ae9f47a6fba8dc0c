#include "capture/CaptureRun.h"
#include "capture/OutputFile.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "platform/EngineEnvironment.h"
#include "platform/WebEngineBrowser.h"
#include "support/QtEventPump.h"
#include "support/RuntimeError.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray html(const QByteArray &body, const QByteArray &head = {})
{
    return "<!DOCTYPE html><html><head>" + head + "</head><body>" + body + "</body></html>";
}

// A capture run over pages of the test's own server, with the real engine.
struct Run {
    Run(WebEngineBrowser &browser) : browser(browser)
    {
        view.folder = folder.path();
        run.setWaitLimit(std::chrono::seconds(20));
    }
    void start(const QStringList &urls)
    {
        for (const QString &url : urls)
            list.append(url);
        run.PushButton2_Click();
    }
    QString path(const QString &url) const
    {
        return MakeOutputPath(folder.path(), MakeOutputFileName(url));
    }
    QByteArray file(const QString &url) const { return readTestFile(path(url)); }
    bool exists(const QString &url) const { return QFile::exists(path(url)); }

    WebEngineBrowser &browser;
    QTemporaryDir folder;
    FakeFormView view;
    UrlListModel list;
    FakeMessageBoxes boxes;
    QtEventPump pump;
    CaptureRun run{view, list, boxes, browser, pump};
};

} // namespace

class TestWebEngineBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void savesPlainAndScriptWrittenPages();
    void keepsEveryCharacterAsUtf8();
    void followsRedirects();
    void failedLoadsAreReportedAndWriteNoFile();
    void neverFinishingPageIsTakenAsItStands();
    void alertsDoNotStopTheRun();
    void sameNameTwiceKeepsTheLaterPage();
    void readyStateIsNeverStaleAfterNavigate();

private:
    LocalHttpServer m_server;
    WebEngineBrowser *m_browser = nullptr;
};

void TestWebEngineBrowser::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.page("/plain", html("<h1>Hello</h1><p>plain page</p>"));
    m_server.page("/script", html("<div id=t></div><script>document.getElementById('t')"
                                  ".textContent = 'written by ' + 'script';</script>"));
    m_server.page("/utf8", html("<p>Grüße — 日本語 ✓</p>", "<meta charset=utf-8>"));
    LocalHttpServer::Reply latin;
    latin.contentType = "text/html; charset=iso-8859-1";
    latin.body = "<html><body><p>caf\xe9 na\xefve</p></body></html>";
    m_server.route("/latin1", latin);
    LocalHttpServer::Reply redirect;
    redirect.status = 302;
    redirect.location = "/plain";
    m_server.route("/moved", redirect);
    LocalHttpServer::Reply notFound;
    notFound.status = 404;
    notFound.body = html("<p>not here</p>");
    m_server.route("/gone", notFound);
    LocalHttpServer::Reply failing;
    failing.status = 500;
    failing.body = html("<p>broken</p>");
    m_server.route("/broken", failing);
    LocalHttpServer::Reply stalled;
    stalled.neverFinish = true;
    stalled.body = "<html><body><p>partial text";
    m_server.route("/stall", stalled);
    m_server.page("/alert", html("<p>after alert</p><script>alert('hi'); confirm('ok?'); "
                                 "prompt('name?');</script>"));
    m_server.page("/a/b", html("<p>first</p>"));
    m_server.page("/a_b", html("<p>second</p>"));
    m_browser = new WebEngineBrowser(this);
}

void TestWebEngineBrowser::savesPlainAndScriptWrittenPages()
{
    Run r(*m_browser);
    const QString plain = m_server.url("/plain");
    const QString script = m_server.url("/script");
    r.start({plain, script});
    QCOMPARE(r.boxes.warnings(), QStringList());
    QCOMPARE(r.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(r.file(plain), QByteArray("Hello\n\nplain page"));
    QCOMPARE(r.file(script), QByteArray("written by script"));
    QCOMPARE(r.run.lastSummary().saved, 2);
}

void TestWebEngineBrowser::keepsEveryCharacterAsUtf8()
{
    Run r(*m_browser);
    r.start({m_server.url("/utf8"), m_server.url("/latin1")});
    QCOMPARE(QString::fromUtf8(r.file(m_server.url("/utf8"))), QStringLiteral("Grüße — 日本語 ✓"));
    QCOMPARE(QString::fromUtf8(r.file(m_server.url("/latin1"))), QStringLiteral("café naïve"));
}

void TestWebEngineBrowser::followsRedirects()
{
    Run r(*m_browser);
    r.start({m_server.url("/moved")});
    QCOMPARE(r.file(m_server.url("/moved")), QByteArray("Hello\n\nplain page"));
}

void TestWebEngineBrowser::failedLoadsAreReportedAndWriteNoFile()
{
    Run r(*m_browser);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    const QString gone = m_server.url("/gone");
    const QString broken = m_server.url("/broken");
    // An earlier file of the same name stays untouched.
    QVERIFY(writeTestFile(r.path(gone), "earlier"));

    r.start({gone, broken, refused, m_server.url("/plain")});
    const QStringList warnings = r.boxes.warnings();
    QCOMPARE(warnings.size(), 3);
    QVERIFY2(warnings.at(0).startsWith(QStringLiteral("HTTP error 404 Not Found\r\n")), qPrintable(warnings.at(0)));
    QVERIFY2(warnings.at(1).startsWith(QStringLiteral("HTTP error 500 Internal Server Error\r\n")), qPrintable(warnings.at(1)));
    for (const QString &warning : warnings)
        QVERIFY(warning.contains(QStringLiteral("PushButton2_Click at line 134\r")));
    QCOMPARE(r.file(gone), QByteArray("earlier"));
    QVERIFY(!r.exists(broken));
    QVERIFY(!r.exists(refused));
    QCOMPARE(r.file(m_server.url("/plain")), QByteArray("Hello\n\nplain page"));
    QCOMPARE(r.run.lastSummary().failed, 3);
    QCOMPARE(r.boxes.informations().last(), QStringLiteral("Done."));
}

void TestWebEngineBrowser::neverFinishingPageIsTakenAsItStands()
{
    Run r(*m_browser);
    r.run.setWaitLimit(std::chrono::milliseconds(1500));
    const QString stall = m_server.url("/stall");
    r.start({stall, m_server.url("/plain")});
    QCOMPARE(r.boxes.warnings(), QStringList());
    QCOMPARE(r.file(stall), QByteArray("partial text"));
    QCOMPARE(r.file(m_server.url("/plain")), QByteArray("Hello\n\nplain page"));
}

void TestWebEngineBrowser::alertsDoNotStopTheRun()
{
    Run r(*m_browser);
    r.start({m_server.url("/alert")});
    QCOMPARE(r.file(m_server.url("/alert")), QByteArray("after alert"));
}

void TestWebEngineBrowser::sameNameTwiceKeepsTheLaterPage()
{
    Run r(*m_browser);
    const QString first = m_server.url("/a/b");
    const QString second = m_server.url("/a_b");
    QCOMPARE(MakeOutputFileName(first), MakeOutputFileName(second));
    r.start({first, second});
    QCOMPARE(r.file(first), QByteArray("second"));
}

void TestWebEngineBrowser::readyStateIsNeverStaleAfterNavigate()
{
    WebEngineBrowser browser;
    QtEventPump pump;
    browser.Navigate(m_server.url("/plain"));
    QTRY_COMPARE_WITH_TIMEOUT(browser.ReadyState(), 4, 20000);
    browser.Navigate(m_server.url("/utf8"));
    QVERIFY(browser.ReadyState() != 4);
    QTRY_COMPARE_WITH_TIMEOUT(browser.ReadyState(), 4, 20000);
    QCOMPARE(browser.DocumentBodyInnerText(), QStringLiteral("Grüße — 日本語 ✓"));
    browser.Navigate(QString());
    QCOMPARE(browser.ReadyState(), 4);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, browser.DocumentBodyInnerText());
}

int main(int argc, char *argv[])
{
    EngineEnvironment::prepare();
    QApplication application(argc, argv);
    TestWebEngineBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WebEngineBrowser.moc"
